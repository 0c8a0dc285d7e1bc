#include "host_console/live_view.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "host_console/profile_file.h"

namespace tarvelin::console {

namespace {

constexpr int barWidth = 41;
constexpr int gameNameBytes = 21;
constexpr int beltSlot = 10;
constexpr int windSlot = 21;

const char* const axisLabels[6] = {"lateral", "longitudinal", "vertical", "yaw", "roll", "pitch"};
const char* const shortAxisLabels[6] = {"lat", "lon", "vert", "yaw", "roll", "pitch"};

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void appendf(std::string& out, const char* format, ...) {
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length > 0) out.append(buffer, std::min(static_cast<std::size_t>(length), sizeof buffer - 1));
}

int position(double value, double low, double high, int width) {
    const double fraction = (value - low) / (high - low);
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * (width - 1)));
}

constexpr int panelWidth = 78;
constexpr std::size_t shownLibraryLines = 4;
constexpr std::size_t logTimeColumns = 14;  // "  %8.1f s  " before a library line

std::string gameText(const LiveStatus& status) {
    if (status.gameId < 0) return status.gameFoundBefore ? "lost, searching..." : "searching...";
    return status.gameName + " (" + std::to_string(status.gameId) + ")";
}

std::string linkText(const LiveStatus& status) {
    if (status.overUdp) return "UDP " + status.port + (status.linkConnected ? " up" : " down, not sending");
    if (status.linkConnected) return status.port + " connected";
    return status.port == "auto" ? "searching COM ports" : status.port + " down, not sending";
}

// Cuts `text` to at most `width` bytes without splitting a UTF-8 character.
std::string fit(const std::string& text, std::size_t width) {
    if (text.size() <= width) return text;
    std::size_t end = width;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// Breaks `text` at spaces into lines of at most `width` bytes.
std::vector<std::string> wrap(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t begin = 0;
    while (begin < text.size()) {
        auto end = text.find(' ', begin);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(begin, end - begin);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        if (!line.empty()) line += ' ';
        line += fit(word, width);
        begin = end + 1;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string profileText(const LiveStatus& status) {
    char text[64];
    std::snprintf(text, sizeof text, "%s (air %.0f %%, ground %.0f %%)", status.activeProfile == 0 ? "AIR" : "GROUND",
                  status.airPercent, status.groundPercent);
    return text;
}

std::string rigText(const LiveStatus& status) {
    char text[96];
    if (!status.rig) {
        std::snprintf(text, sizeof text, "frames from the rig %llu", static_cast<unsigned long long>(status.messagesFromRig));
        return text;
    }
    std::snprintf(text, sizeof text, "received %llu good, %llu bad",
                  static_cast<unsigned long long>(status.rig->goodFrames),
                  static_cast<unsigned long long>(status.rig->badFrames));
    return text;
}

// The engine's mode and, where the console times the road, its latency in that mode.
std::string latencyText(const LiveStatus& status) {
    static const char* const modes[] = {"paced", "low latency", "low latency chosen; paced, the game is not on the network"};
    std::string text = modes[std::clamp(status.latencyMode, 0, 2)];
    if (!status.latency) return text + " (timed in the demo only)";
    if (status.latency->samples == 0) return text + ": measuring...";
    char figures[96];
    std::snprintf(figures, sizeof figures, ": median %.2f ms, p99 %.2f ms", status.latency->median, status.latency->p99);
    return text + figures;
}

}  // namespace

std::string cueState(const LiveStatus& status) {
    if (status.gameId < 0) {
        if (!status.gameProblem.empty()) return "waiting: " + status.gameProblem;
        if (status.gameFoundBefore) return "frozen: the game was lost; the engine looks for it again";
        return "waiting for a game: start it and switch on its telemetry output (the README lists what each game needs)";
    }
    if (!status.rigReady) return "frozen: the rig is not ready";
    if (status.installingFilter) return "frozen: a filter string is being installed";
    if (status.telemetryStillSeconds >= stillTelemetryFreezes) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "frozen: the telemetry has not moved for %.1f s (the game is paused, in a menu or a replay)",
                      status.telemetryStillSeconds);
        return text;
    }
    if (status.softStartPercent < 99.5) {
        char text[64];
        std::snprintf(text, sizeof text, "blending in (soft start %.0f %%)", status.softStartPercent);
        return text;
    }
    return "live";
}

void sampleStatus(const EngineApi& api, LiveStatus& status) {
    status.gameId = api.getGameID();
    char name[64] = {};
    api.getGameName(name);
    name[gameNameBytes] = '\0';
    status.gameName = name;
    status.cycleMs = api.getMotionDataTimeFrame();
    status.latencyMode = api.getLowLatency();
    status.softStartPercent = api.getTransitionStatus();
    status.activeProfile = api.getactiveProfil();
    status.airPercent = api.getProfilAirTransitionStatus();
    status.groundPercent = api.getProfilGrdTransitionStatus();
    status.linkConnected = api.isConnected() == 1;
}

void takeCues(const CalculationSnapshot& record, LiveStatus& status) {
    for (std::size_t axis = 0; axis < status.axes.size(); ++axis) status.axes[axis] = record.values[axis];
    status.belt = record.values[beltSlot];
    status.wind = record.values[windSlot];
    if (std::isfinite(status.belt)) status.beltPeak = std::max(status.beltPeak, status.belt);
}

std::string signedBar(double value, double low, double high, int width) {
    if (width < 3) return std::string(static_cast<std::size_t>(std::max(width, 0)), ' ');
    if (!std::isfinite(value) || !(high > low)) return std::string(static_cast<std::size_t>(width), '?');
    std::string bar(static_cast<std::size_t>(width), ' ');
    const int zero = position(0.0, low, high, width);
    const int mark = position(value, low, high, width);
    for (int i = std::min(zero, mark); i <= std::max(zero, mark); ++i) bar[static_cast<std::size_t>(i)] = '#';
    bar[static_cast<std::size_t>(zero)] = '|';
    if (value > high) bar.back() = '>';
    if (value < low) bar.front() = '<';
    return bar;
}

std::string levelBar(double value, double full, int width) {
    if (width <= 0) return {};
    std::string bar(static_cast<std::size_t>(width), ' ');
    if (!std::isfinite(value) || !(full > 0.0)) return bar;
    const auto filled = static_cast<std::size_t>(std::lround(std::clamp(value / full, 0.0, 1.0) * width));
    std::fill(bar.begin(), bar.begin() + static_cast<std::ptrdiff_t>(filled), '#');
    return bar;
}

// The panel keeps within 78 columns, so that a standard 80-column terminal never wraps a line
// (a wrapped line would push the redrawn panel down the screen).
std::string renderPanel(const LiveStatus& status) {
    std::string out;
    char clock[48];
    if (status.totalSeconds) {
        std::snprintf(clock, sizeof clock, "%.1f s of %.0f s", status.elapsedSeconds, *status.totalSeconds);
    } else {
        std::snprintf(clock, sizeof clock, "%.1f s", status.elapsedSeconds);
    }
    const std::string title = " Tarvelin host console - " + status.title;
    appendf(out, "%s%*s\n", title.c_str(), static_cast<int>(std::max<std::size_t>(1, 78 - title.size())), clock);
    appendf(out, "  game      %-26s telemetry %4.0f frames/s  cycle %.3f ms\n", gameText(status).c_str(),
            status.telemetryPerSecond, status.cycleMs);
    appendf(out, "  profile   %-31s soft start %3.0f %%\n", profileText(status).c_str(), status.softStartPercent);
    appendf(out, "  rig link  %-26s sent %-8llu %s\n", linkText(status).c_str(),
            static_cast<unsigned long long>(status.framesSent), rigText(status).c_str());
    appendf(out, "  latency   %s\n", fit(latencyText(status), panelWidth - 12).c_str());
    const auto state = wrap(cueState(status), panelWidth - 12);
    for (std::size_t line = 0; line < state.size(); ++line) {
        appendf(out, "  %-8s  %s\n", line == 0 ? "cues" : "", state[line].c_str());
    }
    out += '\n';
    for (std::size_t axis = 0; axis < status.axes.size(); ++axis) {
        const auto& range = status.axisRanges[axis];
        appendf(out, "    %-12s %+9.3f  [%s]\n", axisLabels[axis], status.axes[axis],
                signedBar(status.axes[axis], range.low, range.high, barWidth).c_str());
    }
    appendf(out, "    %-12s %9.0f  [%s]\n", "belt", status.belt, levelBar(status.belt, status.beltPeak, barWidth).c_str());
    appendf(out, "    %-12s %7.0f %%  [%s]\n", "wind", status.wind, levelBar(status.wind, 100.0, barWidth).c_str());
    out += '\n';
    const std::string heading = "  library output" + (status.logFile.empty() ? std::string(" (keep all of it with --log FILE)")
                                                                                : " (all of it in " + status.logFile + ")");
    out += fit(heading, panelWidth) + '\n';
    if (status.libraryLines.empty()) out += "    none so far\n";
    const auto shown = std::min(status.libraryLines.size(), shownLibraryLines);
    for (auto entry = status.libraryLines.end() - static_cast<std::ptrdiff_t>(shown); entry != status.libraryLines.end(); ++entry) {
        const std::string count = entry->count > 1 ? " x" + std::to_string(entry->count) : "";
        const std::size_t room = panelWidth - logTimeColumns - count.size();
        appendf(out, "  %8.1f s  %-*s%s\n", entry->lastSeconds, static_cast<int>(room), fit(entry->text, room).c_str(),
                count.c_str());
    }
    return out;
}

std::string renderLine(const LiveStatus& status) {
    std::string out;
    appendf(out, "%6.1f s  %s  telemetry %.0f/s  cycle %.3f ms ", status.elapsedSeconds, gameText(status).c_str(),
            status.telemetryPerSecond, status.cycleMs);
    for (std::size_t axis = 0; axis < status.axes.size(); ++axis) {
        appendf(out, " %s %+.3f", shortAxisLabels[axis], status.axes[axis]);
    }
    appendf(out, "  belt %.0f  wind %.0f %%  soft start %.0f %%  %s  link %s%s  sent %llu", status.belt, status.wind,
            status.softStartPercent, status.activeProfile == 0 ? "AIR" : "GROUND",
            status.overUdp ? "UDP " : "", status.linkConnected ? "up" : "down (not sending)",
            static_cast<unsigned long long>(status.framesSent));
    if (status.rig) {
        appendf(out, "  rig %llu good %llu bad", static_cast<unsigned long long>(status.rig->goodFrames),
                static_cast<unsigned long long>(status.rig->badFrames));
    } else {
        appendf(out, "  from the rig %llu", static_cast<unsigned long long>(status.messagesFromRig));
    }
    out += "  latency " + latencyText(status);
    out += "  cues " + cueState(status) + '\n';
    return out;
}

}  // namespace tarvelin::console
