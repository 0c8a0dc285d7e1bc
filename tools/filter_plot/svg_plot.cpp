#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvelin::tools {

namespace {

constexpr double width = 520;
constexpr double height = 200;
constexpr double left = 52;
constexpr double right = 12;
constexpr double top = 26;
constexpr double bottom = 30;

std::string fixed(double value, int digits = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

// Text for an axis label: as few digits as tell the tick apart.
std::string label(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::fabs(value) < 1e-12 ? 0.0 : value);
    return text;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

// A round step between ticks that gives about four of them over `span`.
double tickStep(double span) {
    const double raw = span / 4.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 2.5, 5.0}) {
        if (factor * power >= raw) return factor * power;
    }
    return 10.0 * power;
}

}  // namespace

std::string stepResponseSvg(const std::string& title, const std::vector<double>& input,
                            const std::vector<double>& output, double cycleMs) {
    double low = 0.0;
    double high = 0.0;
    for (const auto* series : {&input, &output}) {
        for (const double value : *series) {
            if (!std::isfinite(value)) continue;
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    if (high - low < 1e-9) high = low + 1.0;
    const double margin = (high - low) * 0.08;
    low -= margin;
    high += margin;
    const std::size_t count = std::max<std::size_t>(input.size(), 2);
    const double plotWidth = width - left - right;
    const double plotHeight = height - top - bottom;
    const auto x = [&](std::size_t cycle) { return left + plotWidth * static_cast<double>(cycle) / static_cast<double>(count - 1); };
    const auto y = [&](double value) { return top + plotHeight * (high - value) / (high - low); };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + fixed(width, 0) + "\" height=\"" +
                      fixed(height, 0) + "\" viewBox=\"0 0 " + fixed(width, 0) + " " + fixed(height, 0) +
                      "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    svg += "<text x=\"" + fixed(left) + "\" y=\"16\" font-size=\"12\" font-weight=\"bold\">" + escaped(title) + "</text>\n";

    const double step = tickStep(high - low);
    for (double tick = std::ceil(low / step) * step; tick <= high; tick += step) {
        svg += "<line x1=\"" + fixed(left) + "\" x2=\"" + fixed(width - right) + "\" y1=\"" + fixed(y(tick)) + "\" y2=\"" +
               fixed(y(tick)) + "\" stroke=\"#e4e4e4\"/>\n";
        svg += "<text x=\"" + fixed(left - 6) + "\" y=\"" + fixed(y(tick) + 4) + "\" text-anchor=\"end\">" + label(tick) +
               "</text>\n";
    }
    const double totalMs = static_cast<double>(count - 1) * cycleMs;
    const double timeStep = tickStep(totalMs);
    for (double tick = 0.0; tick <= totalMs + 1e-9; tick += timeStep) {
        const double at = left + plotWidth * tick / totalMs;
        svg += "<line x1=\"" + fixed(at) + "\" x2=\"" + fixed(at) + "\" y1=\"" + fixed(top) + "\" y2=\"" +
               fixed(height - bottom) + "\" stroke=\"#e4e4e4\"/>\n";
        svg += "<text x=\"" + fixed(at) + "\" y=\"" + fixed(height - bottom + 14) + "\" text-anchor=\"middle\">" +
               label(tick) + "</text>\n";
    }
    svg += "<text x=\"" + fixed(width - right) + "\" y=\"" + fixed(height - 4) + "\" text-anchor=\"end\">ms</text>\n";

    const auto polyline = [&](const std::vector<double>& values, const char* style) {
        std::string points;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!std::isfinite(values[i])) continue;
            points += fixed(x(i)) + "," + fixed(y(values[i])) + " ";
        }
        return "<polyline fill=\"none\" " + std::string(style) + " points=\"" + points + "\"/>\n";
    };
    svg += polyline(input, "stroke=\"#9a9a9a\" stroke-width=\"1.5\" stroke-dasharray=\"4 3\"");
    svg += polyline(output, "stroke=\"#1f6fd1\" stroke-width=\"2\"");
    svg += "<text x=\"" + fixed(width - right) + "\" y=\"16\" text-anchor=\"end\"><tspan fill=\"#9a9a9a\">input - - </tspan>"
           "<tspan fill=\"#1f6fd1\">output ---</tspan></text>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace tarvelin::tools
