// The cost of one message per decoder: a NoLimits 2 telemetry answer taken from the stream and
// applied (attitude, gravity, rate and speed estimates), and a Flight Simulator data block
// converted and completed with gravity, as the reader does once per cycle.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/game_data.h"
#include "drive_script.h"
#include "flight_simulator_encoder.h"
#include "games/flight_simulator_reader.h"
#include "games/gravity_split.h"
#include "games/nolimits_reader.h"
#include "nolimits2_encoder.h"

namespace {

void noLimits2Message(benchmark::State& state) {
    const tarvelin::emulator::DriveScript script;
    // Two frames in turn, so that every one is new to the reader.
    const auto first = tarvelin::emulator::encodeNoLimitsTelemetry(script.at(15.0), 1, 1, 3243);
    const auto second = tarvelin::emulator::encodeNoLimitsTelemetry(script.at(15.01), 2, 1, 3243);
    tarvelin::NoLimitsStream stream;
    tarvelin::NoLimitsMotion motion;
    tarvelin::GameData record;
    record.frameTimeMs = 10.0;
    bool even = false;
    for (auto _ : state) {
        const auto& message = (even = !even) ? first : second;
        const auto space = stream.freeSpace();
        std::memcpy(space.data(), message.data(), message.size());
        stream.received(message.size());
        const auto telemetry = tarvelin::parseNoLimitsTelemetry(stream.next());
        benchmark::DoNotOptimize(tarvelin::applyNoLimitsTelemetry(*telemetry, motion, record));
    }
}
BENCHMARK(noLimits2Message);

void flightSimulatorMessage(benchmark::State& state) {
    const tarvelin::emulator::DriveScript script;
    const std::vector<std::uint8_t> message =
        tarvelin::emulator::simConnectDataMessage(0, tarvelin::emulator::simulatorData(script.at(15.0), true));
    tarvelin::GameData record;
    std::int32_t profileSelector = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tarvelin::applyFlightSimulatorMessage(message, record, profileSelector));
        tarvelin::applyGravitySplit(record, tarvelin::GravityForm::sum);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(flightSimulatorMessage);

}  // namespace

BENCHMARK_MAIN();
