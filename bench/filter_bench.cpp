// What the filter work of one engine cycle costs: evaluation per node, a typical slot chain,
// and all 23 slots of both profiles as a cycle evaluates them. Parsing is measured too, as
// hosts call it while the engine runs.

#include <benchmark/benchmark.h>

#include <string>

#include "filters/filter_parser.h"
#include "filters/motion_profil.h"

namespace {

constexpr const char* typicalChain = "GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)";

std::string gainChainOf(int length) {
    std::string text = "VALUE";
    for (int i = 0; i < length; ++i) text = "GAIN(" + text + ";1.0001)";
    return text;
}

void evaluatePerNode(benchmark::State& state) {
    const int nodes = static_cast<int>(state.range(0));
    const auto chain = tarvelin::parseFilterString(gainChainOf(nodes - 1));
    double x = 0.5;
    for (auto _ : state) benchmark::DoNotOptimize(x = tarvelin::evaluate(chain, x, 1.0, 1.0, 1.0) * 0.5);
    state.counters["per_node"] = benchmark::Counter(
        static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// Up to the longest chain the engine takes: its filter limit and VALUE.
BENCHMARK(evaluatePerNode)->Arg(1)->Arg(4)->Arg(16)->Arg(tarvelin::chainFilterLimit + 1);

void evaluateTypicalChain(benchmark::State& state) {
    const auto chain = tarvelin::parseFilterString(typicalChain);
    double x = 0.0;
    for (auto _ : state) {
        x += 0.01;
        benchmark::DoNotOptimize(tarvelin::evaluate(chain, x, 1.0, 1.0, 1.0));
    }
}
BENCHMARK(evaluateTypicalChain);

// 23 slots of the AIR and the GROUND profile, each with the typical chain (argument 0) or with
// the longest chain the engine takes (argument 1, the worst a host can ask for), evaluated the
// way the cycle's slot tables do (every slot once per profile).
void evaluateAllSlotsOfBothProfiles(benchmark::State& state) {
    const std::string text = state.range(0) == 0 ? std::string(typicalChain) : gainChainOf(tarvelin::chainFilterLimit);
    tarvelin::MotionProfil::Channels channels{};
    tarvelin::MotionProfil::InputLimits limits{};
    tarvelin::MotionProfil air("Profil AIR", channels, limits);
    tarvelin::MotionProfil ground("Profil GROUND", channels, limits);
    for (int slot = 0; slot < tarvelin::rigSlotCount; ++slot) {
        air.chains[slot].exchange(tarvelin::parseFilterString(text));
        ground.chains[slot].exchange(tarvelin::parseFilterString(text));
        limits[slot].set(-20.0, 20.0);
    }
    if (!air.chains[0].load()->valid.load()) state.SkipWithError("the chain was rejected");
    for (auto& value : channels) value = 3.0;
    for (auto _ : state) {
        double sum = 0.0;
        for (int slot = 0; slot < tarvelin::rigSlotCount; ++slot) {
            const tarvelin::DofMapping mapping{slot, slot + 1, slot < 8};
            sum += air.getActivedof(mapping, 1.0);
            sum += ground.getActivedof(mapping, 0.0);
        }
        benchmark::DoNotOptimize(sum);
        channels[3] += 0.001;
    }
}
BENCHMARK(evaluateAllSlotsOfBothProfiles)->Arg(0)->Arg(1);

void parseTypicalChain(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(tarvelin::parseFilterString(typicalChain));
}
BENCHMARK(parseTypicalChain);

}  // namespace

BENCHMARK_MAIN();
