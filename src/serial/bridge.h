#pragma once
// The bridge between the host, the engine and the rig controller on its serial port: it finds
// and identifies the controller, writes the queued messages and reads the controller's frames.

#include <chrono>
#include <cstdint>
#include <span>

namespace tarvelin::serial {

// Queues a message for the rig controller on the transport that has answered (both while
// neither has): 1 queued, -1 refused (no loop or UDP thread runs, empty message, queue full).
// Never blocks beyond a queue's lock, and allocates nothing once the queues are warm.
int sendMessage(std::span<const std::uint8_t> message);

// The low-latency mode of the loop (off: paced). On, the loop sends each frame as soon as
// signalFrameQueued wakes it, and waits for the rest of its 2 ms pass without spinning.
void sendOnSignal(bool on);
// Wakes the loop to send what was just queued (the engine's cycle, once per frame). Never
// blocks; does nothing while the mode is off.
void signalFrameQueued();

// Runs the bridge loop on the calling thread until stopBridge; returns 1 once it has ended.
// A second call while a loop runs on another thread returns 1 at once.
int runBridge();

// Ends the loop (and asks the UDP threads to end); returns when the loop has ended. When none
// runs, it waits a moment (startGrace) for one that a host thread is just starting, and ends
// that one too.
void stopBridge();

// How long a stop waits for a loop that is getting going while none runs yet: far longer than
// a host thread takes from its creation to its call of startMMFtoSerial_Thread.
inline constexpr std::chrono::milliseconds startGrace{250};

// Whether a stop has been asked for since the stop count was `since`
// (BridgeState::stopRequests, noted when a wait began).
bool stopRequestedSince(std::uint32_t since);

// Sleeps for `duration` in short steps; false, at once, when a stop comes after `since`.
bool pauseUnlessStopped(std::chrono::milliseconds duration, std::uint32_t since);

// Identifies the rig controller on the standard port (setStandartPort). 1 connected, else 0;
// 0 at once when already connected. Runs on the calling host thread. A stop after `since` ends
// the identification at once with 0.
int connectStandardPort(std::uint32_t since);

// Scans every COM port for a rig controller on a supported USB chip. Runs on the loop's thread;
// a stop after `since` ends the scan at once.
void autoConnect(std::uint32_t since);

}  // namespace tarvelin::serial
