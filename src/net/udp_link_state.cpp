#include "net/udp_link_state.h"

#include <chrono>
#include <thread>

#include "platform/module_lifetime.h"
#include "serial/bridge_state.h"

namespace tarvelin {

namespace {

// Long enough for a thread's pass (at most a 100 ms pause) and its closing steps.
constexpr int teardownWaitMs = 1000;

// Built at load time after the bridge state, so that it is destroyed first at exit.
[[maybe_unused]] const bool builtAtLoad = (serial::bridgeState(), udpLinkState(), true);

}  // namespace

UdpLinkState::~UdpLinkState() {
    serial::BridgeState& state = serial::bridgeState();
    state.udpRunning.store(false);
    // At process exit on Windows the threads are gone already.
    if (platform::teardown() == platform::Teardown::processExit) return;
    for (int waited = 0; waited < teardownWaitMs && state.udpThreads.load() > 0; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string UdpLinkState::multicastAddress() const {
    std::lock_guard lock(addressMutex_);
    return multicastAddress_;
}

void UdpLinkState::setMulticastAddress(std::string address) {
    std::lock_guard lock(addressMutex_);
    multicastAddress_ = std::move(address);
}

UdpLinkState& udpLinkState() {
    static UdpLinkState state;
    return state;
}

void udpThreadStarting() {
    serial::BridgeState& state = serial::bridgeState();
    state.udpThreads.fetch_add(1);
    state.udpStopped.store(false);
    state.udpRunning.store(true);
    state.udpLinkUp.store(true);
}

void udpThreadEnded(std::atomic<bool>& active) {
    serial::BridgeState& state = serial::bridgeState();
    state.udpRunning.store(false);
    state.udpStopped.store(true);
    active.store(false);
    if (state.udpThreads.fetch_sub(1) == 1) state.udpLinkUp.store(false);
}

}  // namespace tarvelin
