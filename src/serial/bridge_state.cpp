#include "serial/bridge_state.h"

namespace tarvelin::serial {

BridgeState& bridgeState() {
    static BridgeState state;
    return state;
}

namespace {
// Built at load time rather than on first use: the engine object, built later on first use, is
// then destroyed first at exit, so its game-source thread can never queue into a destroyed
// queue while the engine shuts down.
[[maybe_unused]] const bool builtAtLoad = (bridgeState(), true);
}  // namespace

}  // namespace tarvelin::serial
