// Plots how a filter chain answers a step: runs the chain through the engine's own parser and
// filter runtime, one evaluation per 2 ms cycle as the engine does, and writes the input and the
// output as an SVG picture. docs/filters.md shows one for every filter kind.
//
//   tarvelin_filter_plot "EMALP(VALUE;10)" out.svg [--cycles N] [--steps V1,V2,...] [--title TEXT]
//
// The input starts at 0 and takes the step values one after another, each for an equal share
// of the cycles after the first tenth (default: one step to 1).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "filters/filter_parser.h"
#include "filters/filter_sys.h"
#include "svg_plot.h"

namespace {

std::vector<double> numbers(const std::string& list) {
    std::vector<double> values;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        const auto end = std::min(list.find(',', begin), list.size());
        values.push_back(std::strtod(list.substr(begin, end - begin).c_str(), nullptr));
        begin = end + 1;
    }
    return values;
}

int usage() {
    std::fputs("usage: tarvelin_filter_plot FILTER OUT.svg [--cycles N] [--steps V1,V2,...] [--title TEXT]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string filter = argv[1];
    const std::string output = argv[2];
    int cycles = 150;
    std::vector<double> steps = {1.0};
    std::string title = filter;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--cycles") cycles = std::atoi(argv[i + 1]);
        else if (option == "--steps") steps = numbers(argv[i + 1]);
        else if (option == "--title") title = argv[i + 1];
        else return usage();
    }
    if (cycles < 10 || steps.empty()) return usage();

    const auto diagnosis = tarvelin::explainFilterString(filter);
    if (!diagnosis.accepted) {
        std::fprintf(stderr, "tarvelin_filter_plot: %s: %s\n", filter.c_str(), diagnosis.message.c_str());
        return 1;
    }
    const auto chain = tarvelin::parseFilterString(filter);
    std::vector<double> input;
    std::vector<double> output_;
    const int rest = cycles / 10;
    const int share = (cycles - rest + static_cast<int>(steps.size()) - 1) / static_cast<int>(steps.size());
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const double x = cycle < rest ? 0.0 : steps[std::min(steps.size() - 1, static_cast<std::size_t>((cycle - rest) / share))];
        input.push_back(x);
        output_.push_back(tarvelin::evaluate(chain, x, 1.0, 1.0, 1.0));
    }

    const std::string svg = tarvelin::tools::stepResponseSvg(title, input, output_, 2.0);
    std::FILE* file = std::fopen(output.c_str(), "wb");
    if (file == nullptr || std::fwrite(svg.data(), 1, svg.size(), file) != svg.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "tarvelin_filter_plot: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
