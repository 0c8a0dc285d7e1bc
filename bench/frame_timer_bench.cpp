// The cost of a timer restart, and how exactly the paced wait holds its 2000 µs period.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/frame_timer.h"
#include "platform/clock.h"

namespace {

void restart(benchmark::State& state) {
    tarvelin::FrameTimer timer;
    for (auto _ : state) {
        timer.restart();
        benchmark::DoNotOptimize(timer.meanInterval);
    }
}
BENCHMARK(restart);

// Runs the paced wait for a number of periods and reports the deviation of each measured period
// from 2000 µs: its mean and 99th percentile (absolute values, µs) and the worst case.
void waitNextPeriod(benchmark::State& state) {
    const auto periods = static_cast<std::size_t>(state.range(0));
    std::vector<double> deviations;
    deviations.reserve(periods);
    for (auto _ : state) {
        deviations.clear();
        tarvelin::FrameTimer timer;
        timer.waitNextPeriod();
        auto previous = tarvelin::platform::performanceCounter();
        for (std::size_t i = 0; i < periods; ++i) {
            timer.waitNextPeriod();
            const auto now = tarvelin::platform::performanceCounter();
            deviations.push_back(std::fabs(static_cast<double>(now - previous) / timer.ticksPerUs - 2000.0));
            previous = now;
        }
    }
    std::sort(deviations.begin(), deviations.end());
    double sum = 0.0;
    for (double deviation : deviations) sum += deviation;
    state.counters["mean_dev_us"] = sum / static_cast<double>(deviations.size());
    state.counters["p99_dev_us"] = deviations[deviations.size() * 99 / 100];
    state.counters["max_dev_us"] = deviations.back();
}
BENCHMARK(waitNextPeriod)->Arg(3000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
