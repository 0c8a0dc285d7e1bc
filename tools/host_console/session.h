#pragma once
// A session of the engine driving a rig, as `run` and `demo` share it: the link started on its
// own thread and connected, the engine started, the live view until the time is up or a stop is
// requested (Ctrl-C, or the e-stop keys Space and Esc), then everything stopped in order: the
// engine first, which parks the rig when the profile asks for it. A second Ctrl-C during the
// park stops at once.

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "host_console/engine_api.h"
#include "host_console/game_ports.h"
#include "host_console/latency_probe.h"
#include "host_console/library_capture.h"
#include "host_console/live_view.h"
#include "host_console/page_hub.h"
#include "host_console/profile_file.h"
#include "host_console/rig_peer.h"
#include "host_console/snapshot_poller.h"

namespace tarvelin::console {

struct SessionOptions {
    std::string title;
    std::string port;                     // "COMn" or "auto"
    std::optional<UdpLinkSettings> udp;   // set: the link runs over the network instead
    bool usbChipCheck = true;
    std::optional<double> seconds;        // none: until a stop is requested
    std::filesystem::path record;         // CSV of every cycle; empty: none
    bool panel = false;                   // redraw a panel in place (a terminal), else lines
    std::optional<bool> precisePacing;
    bool lowLatency = false;              // the engine's low-latency mode
    LatencyProbe* latency = nullptr;      // times the road end to end, where the console can
    std::optional<FanSettings> fan;
    std::array<AxisRange, 6> axisRanges{};
    double parkMs = 0.0;                  // the park the profile set for the engine's stop
    RigPeer* rig = nullptr;               // the far end, when it can be asked for its counts
    PageHub* page = nullptr;              // the tuning page's view of the session, if it has one
    std::FILE* out = stdout;
    LibraryCapture* library = nullptr;    // the library's own lines, when they are captured
    std::string logFile;                  // where they are kept (--log), for the view to name
};

struct SessionResult {
    bool gameFound = false;       // the engine reported a game at some point
    bool linkConnected = false;   // the link was connected at some point
    LiveStatus last;              // the status when the engine had stopped
    CycleStatistics cycles;
    std::optional<RigCounts> rig;
    double seconds = 0.0;
    std::vector<GamePort> heldGamePorts;  // game ports another program held while none was found
    std::vector<LogEntry> libraryLines;   // every distinct line the library printed, oldest first
    std::uint64_t libraryLineCount = 0;
    bool parkCutShort = false;    // a second stop request ended the park, the rig where it stood
};

// Runs the session. Returns false, with `error` set (what happened and what to do) and
// everything it started stopped again, when it cannot begin: the CSV file cannot be created,
// the fan port cannot be opened, or no rig controller answers on the standard port.
bool runSession(const EngineApi& api, const SessionOptions& options, SessionResult& result, std::string& error);

// The summary after a session, several lines.
void printSummary(std::FILE* out, const SessionOptions& options, const SessionResult& result);

}  // namespace tarvelin::console
