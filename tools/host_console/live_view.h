#pragma once
// What the console shows while the engine runs: a panel redrawn in place on a terminal, or one
// line per report when the output goes to a file or a pipe. Pure formatting: the values are
// gathered elsewhere (see sampleStatus).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host_console/engine_api.h"
#include "host_console/library_log.h"

namespace tarvelin::console {

struct RigCounts {
    std::uint64_t goodFrames = 0;  // motion frames that arrived with a good check field
    std::uint64_t badFrames = 0;
};

// The median, 99th percentile and worst of a set of samples, and how many there were.
struct Figures {
    double median = 0.0;
    double p99 = 0.0;
    double worst = 0.0;
    std::size_t samples = 0;
};

struct AxisRange {
    double low = -1.0;
    double high = 1.0;
};

struct LiveStatus {
    std::string title;         // "demo" or the profile's file name
    double elapsedSeconds = 0.0;
    std::optional<double> totalSeconds;
    int gameId = -1;
    std::string gameName;
    bool gameFoundBefore = false;   // a game was found earlier in the session
    std::string gameProblem;        // why the engine cannot hear a game (a port held elsewhere)
    double telemetryPerSecond = 0.0;   // the game's frames, measured from the telemetry
    double telemetryStillSeconds = 0.0;
    double cycleMs = 0.0;
    int latencyMode = 0;             // getLowLatency: 0 paced, 1 low latency, 2 low latency chosen, cycle paced
    std::optional<Figures> latency;  // game frame to rig frame, where the console times it (the demo)
    bool rigReady = true;           // the console has declared the rig ready
    bool installingFilter = false;  // a filter string is being installed
    std::array<double, 6> axes{};
    std::array<AxisRange, 6> axisRanges{};
    double belt = 0.0;
    double beltPeak = 0.0;  // the bar's full scale: the largest belt value seen so far
    double wind = 0.0;  // percent of full fan speed
    double softStartPercent = 0.0;
    int activeProfile = 0;
    double airPercent = 0.0;
    double groundPercent = 0.0;
    std::string port;          // "COM5", "auto", or the multicast group over UDP
    bool overUdp = false;      // the link runs over the network
    bool linkConnected = false;
    std::uint64_t framesSent = 0;
    std::optional<RigCounts> rig;  // only when the far end can be asked (the demo's emulator)
    std::uint64_t messagesFromRig = 0;  // frames the controller sent back, taken by the console
    std::vector<LogEntry> libraryLines;  // the newest of the library's own lines
    std::string logFile;                // where all of them go, if anywhere
};

// The engine freezes the cues after half a second of telemetry that does not move.
inline constexpr double stillTelemetryFreezes = 0.5;

// What the cues do and, when they are held, why: "live", "blending in (soft start 40 %)", or
// "frozen: ..." / "waiting: ..." with the reason and what to do about it.
std::string cueState(const LiveStatus& status);

// Reads the engine's side of the status through the exports, all but the cues.
void sampleStatus(const EngineApi& api, LiveStatus& status);

// Takes the six axes, belt and wind from a cycle's calculation record. The console shows the
// cues from the snapshots rather than from the engine's cue array, which the engine rewrites
// while a host reads it: a record is one cycle's values, whole.
void takeCues(const CalculationSnapshot& record, LiveStatus& status);

// The panel, with a line end after each line (no cursor sequences).
std::string renderPanel(const LiveStatus& status);

// One line (with its line end) for output that is not a terminal.
std::string renderLine(const LiveStatus& status);

// A bar of `width` characters for `value` within [low, high] around zero: '#' from the zero
// mark towards the value, '|' at zero; a value beyond the range fills its side and ends in
// '>' or '<'.
std::string signedBar(double value, double low, double high, int width);

// A bar of `width` characters filled in proportion to value / full (0 when full is not
// positive).
std::string levelBar(double value, double full, int width);

}  // namespace tarvelin::console
