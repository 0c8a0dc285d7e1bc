#pragma once
// A small line plot of a filter's input and output over engine cycles, as SVG text. Every
// number is written with a fixed precision, so that the same values give the same bytes.

#include <string>
#include <vector>

namespace tarvelin::tools {

// `input` and `output` hold one value per cycle; `cycleMs` is the length of a cycle.
std::string stepResponseSvg(const std::string& title, const std::vector<double>& input,
                            const std::vector<double>& output, double cycleMs);

}  // namespace tarvelin::tools
