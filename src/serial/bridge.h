#pragma once
// The bridge between the host, the engine and the rig controller on its serial port: it finds
// and identifies the controller, writes the queued messages and reads the controller's frames.

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

// Ends the loop (and asks the UDP threads to end); returns when the loop has ended, at once when
// none runs.
void stopBridge();

// Identifies the rig controller on the standard port (setStandartPort). 1 connected, else 0;
// 0 at once when already connected. Runs on the calling host thread.
int connectStandardPort();

// Scans every COM port for a rig controller on a supported USB chip. Runs on the loop's thread.
void autoConnect();

}  // namespace tarvelin::serial
