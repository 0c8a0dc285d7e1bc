// The exports of the rig controller link over UDP.

#include <string>
#include <thread>

#include "net/ipv4_text.h"
#include "net/multicast_sender.h"
#include "net/udp_link_state.h"
#include "net/udp_listener.h"
#include "tarvelin/motion.h"

using tarvelin::ErrorLog;
using tarvelin::udpLinkState;
using tarvelin::widen;

namespace {

std::string portText() {
    return std::to_string(tarvelin::multicastPort);
}

// Starts `routine` on a detached thread with what it owns, as one of the UDP threads. A failure
// to make the thread leaves the link as it was and reaches the caller as std::system_error.
template <typename Owned>
void startUdpThread(std::atomic<bool>& active, void (*routine)(std::unique_ptr<Owned>), std::unique_ptr<Owned> owned) {
    tarvelin::udpThreadStarting();
    try {
        std::thread(routine, std::move(owned)).detach();
    } catch (...) {
        tarvelin::udpThreadEnded(active);
        throw;
    }
}

}  // namespace

extern "C" {

void setUDPport(uint16_t port) {
    udpLinkState().udpListenPort.store(port);
    ErrorLog log;
    log.logInfo(widen("UDP Controller Thread : Set UdpPort : " + std::to_string(port)));
}

void startUPDListenThread(void) {
    auto log = std::make_unique<ErrorLog>();
    auto& active = udpLinkState().listenThreadActive;
    if (active.exchange(true)) {
        log->logInfo(L"Udp listen thread: already running");
        return;
    }
    startUdpThread(active, &tarvelin::runUdpListener, std::move(log));
}

void setMulticastAddr(const char* address) {
    ErrorLog log;
    const std::string text = address == nullptr ? std::string() : std::string(address);
    if (tarvelin::isValidIPv4(text)) {
        udpLinkState().setMulticastAddress(text);
        log.logInfo(widen("UDP Controller Thread: Validated multicast IP address. using Multicast address: " + text +
                          " and Port: " + portText()));
    } else {
        udpLinkState().setMulticastAddress(tarvelin::defaultMulticastAddress);
        log.logInfo(widen(std::string("UDP Controller Thread: Failed to validate multicast IP address. Using default "
                                      "Multicast address: ") +
                          tarvelin::defaultMulticastAddress + " and Port: " + portText()));
    }
}

void startUPDMulticastSenderThread(void) {
    auto context = std::make_unique<tarvelin::MulticastContext>();
    auto& active = udpLinkState().multicastThreadActive;
    if (active.exchange(true)) {
        context->log.logInfo(L"Multicast Thread already running.");
        return;
    }
    startUdpThread(active, &tarvelin::runMulticastSender, std::move(context));
}

}  // extern "C"
