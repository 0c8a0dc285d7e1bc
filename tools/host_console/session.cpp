#include "host_console/session.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "host_console/port_check.h"
#include "platform/terminal.h"

namespace tarvelin::console {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto panelRefresh = milliseconds(200);
constexpr auto lineInterval = std::chrono::seconds(1);
constexpr auto tick = milliseconds(20);
constexpr std::size_t rigMessageBytes = 4096;
constexpr auto udpStartCheck = milliseconds(300);

// The rig's frames still on their way when the engine stops (the link's queue, the line) are
// waited for until the count holds still this long, or at most the limit.
constexpr auto settleQuiet = milliseconds(150);
constexpr auto settleLimit = std::chrono::seconds(3);

// While no game is found and the library keeps saying that it cannot bind a port, the game
// ports are looked at this often to name the one another program holds.
constexpr auto heldPortCheckPause = std::chrono::seconds(2);
constexpr std::size_t libraryLinesInView = 4;
constexpr std::size_t libraryLinesInSummary = 8;
// The library's line when a port it listens on for a game is taken.
constexpr const char* bindFailedLine = "bind socket failed";

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Draws the panel in place: cursor home, each line erased to its end, the rest of the screen
// cleared, so that a shorter panel leaves nothing behind.
void drawPanel(std::FILE* out, const LiveStatus& status, bool first, bool parks) {
    std::string text = first ? "\x1b[?25l\x1b[2J\x1b[H" : "\x1b[H";
    const std::string panel =
        renderPanel(status) + (parks ? "\n  Space, Esc or Ctrl-C parks the rig and stops\n" : "\n  Space, Esc or Ctrl-C stops\n");
    std::size_t begin = 0;
    for (auto end = panel.find('\n'); end != std::string::npos; end = panel.find('\n', begin)) {
        text.append(panel, begin, end - begin);
        text += "\x1b[K\n";
        begin = end + 1;
    }
    text += "\x1b[J";
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

class BridgeThread {
public:
    explicit BridgeThread(const EngineApi& api) : api_(api) {
        // The link's loop runs on the thread that calls it until it is stopped.
        thread_ = std::thread([this] { api_.startMMFtoSerial_Thread(); });
    }
    ~BridgeThread() { stop(); }
    BridgeThread(const BridgeThread&) = delete;
    BridgeThread& operator=(const BridgeThread&) = delete;

    void stop() {
        if (!thread_.joinable()) return;
        api_.stopMMFtoSerial_Thread();
        thread_.join();
    }

private:
    const EngineApi& api_;
    std::thread thread_;
};

// Identifies the controller on the standard port again after the link lost it (a cable pulled
// and plugged back in); the link itself only rescans when auto-connect is on. An attempt can
// take seconds (three tries, each with a time-out), so it runs on a thread of its own while
// the view goes on.
class Reconnector {
public:
    explicit Reconnector(const EngineApi& api) : api_(api) {}
    ~Reconnector() { finish(); }
    Reconnector(const Reconnector&) = delete;
    Reconnector& operator=(const Reconnector&) = delete;

    void poll(bool connected) {
        if (thread_.joinable() && done_.load()) thread_.join();
        if (connected || thread_.joinable() || Clock::now() < nextAttempt_) return;
        done_.store(false);
        nextAttempt_ = Clock::now() + retryPause;
        thread_ = std::thread([this] {
            api_.resumeInterface();
            done_.store(true);
        });
    }

    void finish() {
        if (thread_.joinable()) thread_.join();
    }

private:
    static constexpr auto retryPause = std::chrono::seconds(2);
    const EngineApi& api_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    Clock::time_point nextAttempt_{};
};

// Names the game port that another program holds, when the library's lines say that it could
// not bind one while no game is found.
class HeldPortWatch {
public:
    void poll(LibraryLog& log, LiveStatus& status) {
        if (status.gameId >= 0) {
            status.gameProblem.clear();
            return;
        }
        if (Clock::now() < nextCheck_) return;
        nextCheck_ = Clock::now() + heldPortCheckPause;
        // The engine tries the ports on every search, so a port still held brings new failures
        // each time; without them the port has been let go.
        const auto failures = log.linesBeginningWith(bindFailedLine);
        const bool failing = failures != failuresSeen_;
        failuresSeen_ = failures;
        held_ = failing ? heldGamePorts() : std::vector<GamePort>{};
        status.gameProblem = held_.empty() ? std::string() : heldPortMessage(held_.front());
    }
    const std::vector<GamePort>& held() const { return held_; }

private:
    std::uint64_t failuresSeen_ = 0;
    Clock::time_point nextCheck_{};
    std::vector<GamePort> held_;
};

// Shows the library's newest lines in the view; in line output, each line the first time.
void takeLibraryLines(const SessionOptions& options, LiveStatus& status) {
    if (options.library == nullptr) return;
    auto& log = options.library->log();
    log.settle();
    status.libraryLines = log.newest(libraryLinesInView);
    if (options.panel) return;
    for (const auto& entry : log.takeNewEntries()) {
        std::fprintf(options.out, "%6.1f s  library: %s\n", entry.firstSeconds, entry.text.c_str());
    }
}

// Identifies the controller on the fixed port; on failure, says why from what the library
// printed meanwhile.
bool connectFixedPort(const EngineApi& api, const SessionOptions& options, std::string& error) {
    LibraryLog* log = options.library != nullptr ? &options.library->log() : nullptr;
    const auto chipBefore = log != nullptr ? log->linesBeginningWith("fail vid") : 0;
    const auto wrongBefore = log != nullptr ? log->linesBeginningWith(".. wrong id") : 0;
    if (api.resumeInterface() == 1) return true;
    LinkAttempt attempt;
    if (log != nullptr) {
        options.library->sync();
        attempt.notOnKnownChip = log->linesBeginningWith("fail vid") - chipBefore;
        attempt.wrongAnswer = log->linesBeginningWith(".. wrong id") - wrongBefore;
    }
    error = noControllerMessage(options.port, attempt);
    return false;
}

// The e-stop keys: Space and Esc (and with it any key that sends an escape sequence).
bool isStopKey(int key) { return key == ' ' || key == 27; }

// Stops the engine's thread, which parks the rig first when the profile asks for it. A stop
// request beyond the first one (Ctrl-C after an e-stop key, or a second Ctrl-C) ends the park
// at once, with the rig where it stands. True when that happened.
bool stopEngine(const EngineApi& api, const SessionOptions& options, bool byKey) {
    const int hasteAfter = byKey ? 0 : 1;
    if (options.parkMs > 0.0) {
        std::fprintf(options.out, "\nparking the rig over %.1f s (Ctrl-C again stops at once)\n", options.parkMs / 1000.0);
        std::fflush(options.out);
    }
    std::atomic<bool> stopped{false};
    std::atomic<bool> cutShort{false};
    std::thread haste([&] {
        while (!stopped.load()) {
            if (platform::stopRequestCount() > hasteAfter) {
                cutShort.store(options.parkMs > 0.0);
                api.setParkDuration(0.0);
                return;
            }
            std::this_thread::sleep_for(tick);
        }
    });
    api.stopGamesource_Thread();
    stopped.store(true);
    haste.join();
    if (cutShort.load()) std::fprintf(options.out, "stopped at once: the rig was left where it stood\n");
    return cutShort.load();
}

std::optional<RigCounts> settledRigCounts(RigPeer& rig) {
    auto counts = rig.counts();
    const auto deadline = Clock::now() + settleLimit;
    auto quietSince = Clock::now();
    while (counts && Clock::now() < deadline && Clock::now() - quietSince < settleQuiet) {
        std::this_thread::sleep_for(tick);
        auto next = rig.counts();
        if (!next) break;
        if (next->goodFrames != counts->goodFrames || next->badFrames != counts->badFrames) quietSince = Clock::now();
        counts = next;
    }
    return counts;
}

}  // namespace

bool runSession(const EngineApi& api, const SessionOptions& options, SessionResult& result, std::string& error) {
    SnapshotPoller poller(api);
    if (!options.record.empty() && !poller.recordTo(options.record, error)) return false;

    if (options.fan) {
        const std::wstring port(options.fan->port.begin(), options.fan->port.end());
        const std::wstring mode(options.fan->mode.begin(), options.fan->mode.end());
        if (!api.initWindSerial(port.c_str(), options.fan->baud, mode.c_str(), options.fan->intervalMs)) {
            error = serialPortProblem(options.fan->port, "the fan's port");
            if (error.empty()) {
                error = "the fan's port " + options.fan->port + " cannot be set to " + std::to_string(options.fan->baud) +
                        " baud " + options.fan->mode + ": check baud and mode in the profile's [fan] section";
            }
            return false;
        }
    }

    api.setUsbChipCheck(options.usbChipCheck ? 1 : 0);
    const bool scan = options.port == "auto" && !options.udp;
    std::optional<BridgeThread> bridge;
    Reconnector reconnector(api);
    if (options.udp) {
        // Over the network the link's two threads run on their own; the bridge loop is not needed.
        api.setMulticastAddr(options.udp->group.c_str());
        api.setUDPport(static_cast<std::uint16_t>(options.udp->listenPort));
        api.startUPDListenThread();
        api.startUPDMulticastSenderThread();
        std::fprintf(options.out, "rig link over UDP: frames to the group %s:51324, answers on port %d\n",
                     options.udp->group.c_str(), options.udp->listenPort);
        // The sender gives up at once when it finds no adapter to send from.
        std::this_thread::sleep_for(udpStartCheck);
        if (api.isConnected() != 1) {
            api.stopMMFtoSerial_Thread();
            error = "the rig link over UDP did not start: no wired Ethernet adapter is up, or its socket failed "
                    "(errorlog.txt in the folder tarvelin of the user's application data says which)";
            return false;
        }
    } else if (scan) {
        api.enableAutoconnect();
        bridge.emplace(api);
        std::fprintf(options.out, "searching every COM port for the rig controller\n");
    } else {
        api.disableAutoconnect();
        api.setStandartPort(options.port.c_str());
        bridge.emplace(api);
        std::fprintf(options.out, "connecting to the rig controller on %s ...\n", options.port.c_str());
        std::fflush(options.out);
        if (!connectFixedPort(api, options, error)) return false;
        std::fprintf(options.out, "\nrig controller connected on %s\n", options.port.c_str());
    }

    LiveStatus status;
    status.title = options.title;
    status.totalSeconds = options.seconds;
    status.axisRanges = options.axisRanges;
    status.port = options.udp ? options.udp->group : options.port;
    status.overUdp = options.udp.has_value();
    status.logFile = options.logFile;
    HeldPortWatch heldPorts;

    if (options.page != nullptr) poller.setListener(options.page);
    poller.start();
    api.setMotionsystemready(1);
    if (options.page != nullptr) options.page->setRigReady(true);
    api.setLowLatency(options.lowLatency ? 1 : 0);
    api.startGamesource_Thread();
    platform::KeyInput keys;
    bool stopKey = false;

    const auto start = Clock::now();
    auto nextReport = start;
    bool pacingApplied = !options.precisePacing.has_value();
    bool firstPanel = true;
    std::vector<std::uint8_t> message(rigMessageBytes);
    while (!platform::stopRequested()) {
        if (isStopKey(keys.next())) {
            stopKey = true;
            break;
        }
        status.elapsedSeconds = secondsSince(start);
        if (options.seconds && status.elapsedSeconds >= *options.seconds) break;
        // The engine's thread chooses precise pacing when it starts; the profile's choice is
        // applied once it has cycled, so that it is not overwritten.
        if (!pacingApplied && poller.cycles() > 0) {
            api.setTimerPrecision(*options.precisePacing ? 1 : 0);
            pacingApplied = true;
        }
        // Frames the controller sends are kept for the host; taking them keeps the queue from
        // filling, and counting them shows that the controller talks.
        while (api.newMessagemmf() == 1 && api.readMessagemmf(message.data()) >= 0) ++status.messagesFromRig;

        if (Clock::now() >= nextReport) {
            sampleStatus(api, status);
            // The rig's count first: every frame it has is then among the frames counted.
            if (options.rig != nullptr) status.rig = options.rig->counts();
            status.framesSent = poller.pollNow();
            if (const auto record = poller.latest()) takeCues(*record, status);
            const auto telemetry = poller.telemetry();
            status.telemetryPerSecond = telemetry.framesPerSecond;
            status.telemetryStillSeconds = telemetry.stillSeconds;
            if (options.latency != nullptr) status.latency = options.latency->figures();
            result.gameFound = result.gameFound || status.gameId >= 0;
            status.gameFoundBefore = result.gameFound;
            result.linkConnected = result.linkConnected || status.linkConnected;
            if (options.library != nullptr) heldPorts.poll(options.library->log(), status);
            takeLibraryLines(options, status);
            if (!scan && !options.udp) reconnector.poll(status.linkConnected);
            if (options.page != nullptr) options.page->takeLinkStatus(status);
            if (options.panel) {
                drawPanel(options.out, status, firstPanel, options.parkMs > 0.0);
                firstPanel = false;
            } else {
                std::fputs(renderLine(status).c_str(), options.out);
                std::fflush(options.out);
            }
            nextReport += options.panel ? Clock::duration(panelRefresh) : Clock::duration(lineInterval);
            if (nextReport < Clock::now()) nextReport = Clock::now();
        }
        std::this_thread::sleep_for(tick);
    }

    // The game as the running engine last saw it; a stopped engine lets go of its game.
    sampleStatus(api, status);
    const int gameIdWhileRunning = status.gameId;
    const auto gameNameWhileRunning = status.gameName;
    // The engine stops first: it parks the rig when the profile asks for it, then sends no
    // further frame, and its fan gets its zero byte. The link then delivers what is still queued
    // before it stops too.
    result.parkCutShort = stopEngine(api, options, stopKey);
    reconnector.finish();
    poller.stop();
    if (options.rig != nullptr) result.rig = settledRigCounts(*options.rig);
    // The last view shows the link as it was while the engine ran, before it is stopped.
    sampleStatus(api, status);
    status.gameId = gameIdWhileRunning;
    status.gameName = gameNameWhileRunning;
    if (const auto record = poller.latest()) takeCues(*record, status);
    if (bridge) {
        bridge->stop();
    } else {
        api.stopMMFtoSerial_Thread();
    }

    status.elapsedSeconds = secondsSince(start);
    status.framesSent = poller.framesSent();
    status.rig = result.rig;
    result.gameFound = result.gameFound || status.gameId >= 0;
    result.linkConnected = result.linkConnected || status.linkConnected;
    if (!result.gameFound) result.heldGamePorts = heldPorts.held();
    if (options.library != nullptr) {
        options.library->sync();
        takeLibraryLines(options, status);
        result.libraryLines = options.library->log().newest(LibraryLog::mostEntries);
        result.libraryLineCount = options.library->log().lines();
    }
    if (options.panel) {
        drawPanel(options.out, status, firstPanel, options.parkMs > 0.0);
        std::fputs("\x1b[?25h", options.out);
    }
    result.last = status;
    result.cycles = poller.statistics();
    result.seconds = status.elapsedSeconds;
    return true;
}

void printSummary(std::FILE* out, const SessionOptions& options, const SessionResult& result) {
    const auto& cycles = result.cycles;
    std::fprintf(out, "\nsummary after %.1f s\n", result.seconds);
    std::fprintf(out, "  game             %s\n",
                 result.gameFound ? (result.last.gameId >= 0 ? result.last.gameName.c_str() : "found, then lost")
                                  : "none found");
    const std::string where = options.udp ? "over UDP to " + options.udp->group : "on " + options.port;
    std::fprintf(out, "  rig link         %s\n", result.linkConnected ? ("connected " + where).c_str() : "never connected");
    std::fprintf(out, "  frames sent      %llu", static_cast<unsigned long long>(cycles.framesSent));
    if (cycles.cycles > cycles.framesSent) {
        std::fprintf(out, " (of %llu engine cycles; the others came while the link was down)",
                     static_cast<unsigned long long>(cycles.cycles));
    }
    std::fputc('\n', out);
    if (options.parkMs > 0.0) {
        std::fprintf(out, "  park             %s\n", result.parkCutShort ? "cut short: the rig was left where it stood" : "on stop and on a lost game");
    }
    if (result.rig) {
        std::fprintf(out, "  frames received  %llu with a good check field, %llu bad\n",
                     static_cast<unsigned long long>(result.rig->goodFrames),
                     static_cast<unsigned long long>(result.rig->badFrames));
    }
    if (cycles.periodSamples > 0) {
        std::fprintf(out, "  cycle period     median %.3f ms, worst %.3f ms (%llu samples)\n", cycles.medianPeriodMs,
                     cycles.worstPeriodMs, static_cast<unsigned long long>(cycles.periodSamples));
    }
    if (!options.record.empty()) {
        std::fprintf(out, "  recorded         %llu cycles to %s%s\n", static_cast<unsigned long long>(cycles.rowsWritten),
                     options.record.string().c_str(), cycles.writeFailed ? " (WRITING FAILED)" : "");
    }
    if (options.library != nullptr) {
        const auto& lines = result.libraryLines;
        std::fprintf(out, "  library output   %llu lines, %zu different%s\n",
                     static_cast<unsigned long long>(result.libraryLineCount), lines.size(),
                     options.logFile.empty() ? "" : (", all in " + options.logFile).c_str());
        const auto shown = std::min(lines.size(), libraryLinesInSummary);
        for (auto entry = lines.end() - static_cast<std::ptrdiff_t>(shown); entry != lines.end(); ++entry) {
            std::fprintf(out, "    %8.1f s  %s", entry->firstSeconds, entry->text.c_str());
            if (entry->count > 1) std::fprintf(out, "  (x%llu, last at %.1f s)", static_cast<unsigned long long>(entry->count), entry->lastSeconds);
            std::fputc('\n', out);
        }
        if (lines.size() > shown) std::fprintf(out, "    ... and %zu more%s\n", lines.size() - shown,
                                                 options.logFile.empty() ? " (keep them all with --log FILE)" : "");
    }
    if (cycles.possibleLosses > 0) {
        std::fprintf(out, "  warning          %llu polls found the snapshot buffers full: cycles may be missing\n",
                     static_cast<unsigned long long>(cycles.possibleLosses));
    }
}

}  // namespace tarvelin::console
