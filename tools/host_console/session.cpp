#include "host_console/session.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/terminal.h"

namespace tarvelin::console {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto panelRefresh = milliseconds(200);
constexpr auto lineInterval = std::chrono::seconds(1);
constexpr auto tick = milliseconds(20);
constexpr std::size_t rigMessageBytes = 4096;

// The rig's frames still on their way when the engine stops (the link's queue, the line) are
// waited for until the count holds still this long, or at most the limit.
constexpr auto settleQuiet = milliseconds(150);
constexpr auto settleLimit = std::chrono::seconds(3);

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
            error = "the fan's port " + options.fan->port + " does not exist";
            return false;
        }
    }

    api.setUsbChipCheck(options.usbChipCheck ? 1 : 0);
    const bool scan = options.port == "auto";
    if (scan) {
        api.enableAutoconnect();
    } else {
        api.disableAutoconnect();
        api.setStandartPort(options.port.c_str());
    }
    BridgeThread bridge(api);
    Reconnector reconnector(api);
    if (!scan) {
        std::fprintf(options.out, "connecting to the rig controller on %s ...\n", options.port.c_str());
        std::fflush(options.out);
        if (api.resumeInterface() != 1) {
            error = "no rig controller answered on " + options.port;
            return false;
        }
        std::fprintf(options.out, "\nrig controller connected on %s\n", options.port.c_str());
    } else {
        std::fprintf(options.out, "searching every COM port for the rig controller\n");
    }

    LiveStatus status;
    status.title = options.title;
    status.totalSeconds = options.seconds;
    status.axisRanges = options.axisRanges;
    status.port = options.port;

    poller.start();
    api.setMotionsystemready(1);
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
            // The rig's count first: every frame it has is then among the cycles counted.
            if (options.rig != nullptr) status.rig = options.rig->counts();
            status.framesSent = poller.pollNow();
            if (const auto record = poller.latest()) takeCues(*record, status);
            result.gameFound = result.gameFound || status.gameId >= 0;
            result.linkConnected = result.linkConnected || status.linkConnected;
            if (!scan) reconnector.poll(status.linkConnected);
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
    bridge.stop();

    status.elapsedSeconds = secondsSince(start);
    status.framesSent = poller.cycles();
    status.rig = result.rig;
    result.gameFound = result.gameFound || status.gameId >= 0;
    result.linkConnected = result.linkConnected || status.linkConnected;
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
    std::fprintf(out, "  rig link         %s\n", result.linkConnected ? ("connected on " + options.port).c_str() : "never connected");
    std::fprintf(out, "  frames sent      %llu\n", static_cast<unsigned long long>(cycles.cycles));
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
    if (cycles.possibleLosses > 0) {
        std::fprintf(out, "  warning          %llu polls found the snapshot buffers full: cycles may be missing\n",
                     static_cast<unsigned long long>(cycles.possibleLosses));
    }
}

}  // namespace tarvelin::console
