// Systems without pseudo-terminals (Windows) have no built-in rig controller emulator: the demo
// reaches an emulator program's board through a COM port instead.

#include "host_console/rig_peer.h"

namespace tarvelin::console {

std::unique_ptr<RigPeer> startBuiltInRig(std::string& error) {
    error = "this system has no built-in rig controller emulator; run tools/rig_emulator with a board behind a COM "
            "port and give the demo --rig-port COMn --rig-control PORT (see docs/host-console.md)";
    return nullptr;
}

std::unique_ptr<RigPeer> startBuiltInNetworkRig(const UdpLinkSettings&, std::string& error) {
    error = "this system has no built-in rig controller emulator; the demo over UDP runs on Linux";
    return nullptr;
}

}  // namespace tarvelin::console
