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

std::string gameText(const LiveStatus& status) {
    if (status.gameId < 0) return "searching...";
    return status.gameName + " (" + std::to_string(status.gameId) + ")";
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

}  // namespace

void sampleStatus(const EngineApi& api, LiveStatus& status) {
    status.gameId = api.getGameID();
    char name[64] = {};
    api.getGameName(name);
    name[gameNameBytes] = '\0';
    status.gameName = name;
    status.telemetryFrameMs = api.getGameTimeFrame();
    status.cycleMs = api.getMotionDataTimeFrame();
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
    appendf(out, "  game      %-26s telemetry frame %.1f ms   cycle %.3f ms\n", gameText(status).c_str(),
            status.telemetryFrameMs, status.cycleMs);
    appendf(out, "  profile   %-31s soft start %3.0f %%\n", profileText(status).c_str(), status.softStartPercent);
    const std::string link = status.overUdp ? "UDP " + status.port + (status.linkConnected ? " up" : " down")
                                            : status.port + (status.linkConnected ? " connected" : " not connected");
    appendf(out, "  rig link  %-26s sent %-8llu %s\n", link.c_str(), static_cast<unsigned long long>(status.framesSent),
            rigText(status).c_str());
    out += '\n';
    for (std::size_t axis = 0; axis < status.axes.size(); ++axis) {
        const auto& range = status.axisRanges[axis];
        appendf(out, "    %-12s %+9.3f  [%s]\n", axisLabels[axis], status.axes[axis],
                signedBar(status.axes[axis], range.low, range.high, barWidth).c_str());
    }
    appendf(out, "    %-12s %9.0f  [%s]\n", "belt", status.belt, levelBar(status.belt, status.beltPeak, barWidth).c_str());
    appendf(out, "    %-12s %7.0f %%  [%s]\n", "wind", status.wind, levelBar(status.wind, 100.0, barWidth).c_str());
    return out;
}

std::string renderLine(const LiveStatus& status) {
    std::string out;
    appendf(out, "%6.1f s  %s  telemetry %.1f ms  cycle %.3f ms ", status.elapsedSeconds, gameText(status).c_str(),
            status.telemetryFrameMs, status.cycleMs);
    for (std::size_t axis = 0; axis < status.axes.size(); ++axis) {
        appendf(out, " %s %+.3f", shortAxisLabels[axis], status.axes[axis]);
    }
    appendf(out, "  belt %.0f  wind %.0f %%  soft start %.0f %%  %s  link %s%s  sent %llu", status.belt, status.wind,
            status.softStartPercent, status.activeProfile == 0 ? "AIR" : "GROUND",
            status.overUdp ? "UDP " : "", status.linkConnected ? "up" : "down", static_cast<unsigned long long>(status.framesSent));
    if (status.rig) {
        appendf(out, "  rig %llu good %llu bad", static_cast<unsigned long long>(status.rig->goodFrames),
                static_cast<unsigned long long>(status.rig->badFrames));
    } else {
        appendf(out, "  from the rig %llu", static_cast<unsigned long long>(status.messagesFromRig));
    }
    out += '\n';
    return out;
}

}  // namespace tarvelin::console
