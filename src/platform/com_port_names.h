#pragma once
// Where a COM port name leads, so that a host tool can tell a rig owner which device file a
// missing port stands for and how to point it at another device: what each platform must
// provide. POSIX: the library's own links (posix/com_ports.h). Windows: under Wine, the links
// of the Wine prefix; on Windows itself, nothing (the system names its ports).
//
// For the host tools only; the engine resolves COM names through serial_port.h.

#include <filesystem>
#include <optional>
#include <string>

namespace tarvelin::platform {

struct ComPortPlace {
    // The link named "comN" (lower case) that picks the device for COM N; empty where ports
    // are not links. A path of the host system (a Unix path under Wine).
    std::filesystem::path link;
    // The device file COM N means while no such link exists; empty when there is none.
    std::filesystem::path defaultDevice;
};

// Where COM `number` leads on this system.
ComPortPlace comPortPlace(unsigned number);

// Whether ports are device files this program can link itself (POSIX), so that a device path
// can stand for a COM port.
bool comPortsAreLinks();

// The COM number that already leads to `device` (through a link or by default numbering);
// nothing when none does. POSIX only.
std::optional<unsigned> comPortOfDevice(const std::filesystem::path& device);

// Makes the link for COM `number` point at `device`, creating the link folder when needed. A
// link that exists already is not replaced. False with `error` set when it cannot.
bool linkComPort(unsigned number, const std::filesystem::path& device, std::string& error);

// Removes the link of COM `number`, if there is one.
void unlinkComPort(unsigned number);

}  // namespace tarvelin::platform
