// The cost of one datagram per UDP game decoder: the emulator's datagram of a moment in the corner
// (every value moving), decoded into the record and completed with gravity, as a reader does for
// each datagram it takes off its port.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "beamng_encoder.h"
#include "condor2_encoder.h"
#include "dcs_encoder.h"
#include "dirt_rally2_encoder.h"
#include "drive_script.h"
#include "f1_encoder.h"
#include "games/beamng_reader.h"
#include "games/condor2_reader.h"
#include "games/dcs_reader.h"
#include "games/dirt_rally2_reader.h"
#include "games/f1_reader.h"
#include "games/gravity_split.h"
#include "games/live_for_speed_reader.h"
#include "games/wrc23_reader.h"
#include "games/xplane_reader.h"
#include "live_for_speed_encoder.h"
#include "wrc23_encoder.h"
#include "xplane_encoder.h"

using namespace tarvelin;

namespace {

const emulator::VehicleMotion& inTheCorner() {
    static const emulator::VehicleMotion motion = emulator::DriveScript().at(16.0);
    return motion;
}

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// Runs `decode` on the datagram once per iteration and reports the datagram's size.
template <typename Decode>
void run(benchmark::State& state, const std::vector<std::uint8_t>& datagram, Decode decode) {
    GameData record;
    for (auto _ : state) {
        decode(std::span<const std::uint8_t>(datagram), record);
        benchmark::DoNotOptimize(record);
    }
    state.counters["bytes"] = static_cast<double>(datagram.size());
}

void BM_XPlane(benchmark::State& state) {
    std::int32_t selector = 0;
    run(state, emulator::encodeXPlaneDatagram(inTheCorner()), [&](auto datagram, GameData& record) {
        applyXPlaneDatagram(datagram, record, selector);
        applyGravitySplit(record, GravityForm::difference);
    });
}

void BM_Dcs(benchmark::State& state) {
    run(state, bytesOf(emulator::dcsExportLine(inTheCorner())), [](auto datagram, GameData& record) {
        applyDcsLine(datagram, record);
        applyGravitySplit(record, GravityForm::difference);
    });
}

void BM_DirtRally2(benchmark::State& state) {
    run(state, emulator::encodeDirtRally2Datagram(inTheCorner()), [](auto datagram, GameData& record) {
        applyDirtRally2Datagram(datagram, record);
        applyGravitySplit(record, GravityForm::sum, LongitudinalGravity::againstPitch);
    });
}

void BM_Condor2(benchmark::State& state) {
    Condor2Values stored;
    run(state, bytesOf(emulator::condor2Text(inTheCorner())), [&](auto datagram, GameData& record) {
        applyCondor2Datagram(datagram, stored, record);
        applyGravitySplit(record, GravityForm::sum);
    });
}

void BM_F1Motion(benchmark::State& state) {
    run(state, emulator::encodeF1Motion<2024>(inTheCorner()), [](auto datagram, GameData& record) {
        applyF1Datagram(datagram, record);
        applyGravitySplit(record, GravityForm::difference);
    });
}

void BM_F1ExtendedMotion(benchmark::State& state) {
    run(state, emulator::encodeF1ExtendedMotion<2024>(inTheCorner()), [](auto datagram, GameData& record) {
        applyF1Datagram(datagram, record);
        applyGravitySplit(record, GravityForm::difference);
    });
}

void BM_Wrc23(benchmark::State& state) {
    std::optional<Wrc23Attitude> previous;
    run(state, emulator::encodeWrc23Datagram(inTheCorner()), [&](auto datagram, GameData& record) {
        if (const auto frame = decodeWrc23Datagram(datagram)) applyWrc23Frame(*frame, 16.7, previous, record);
        applyGravitySplit(record, GravityForm::sum);
    });
}

void BM_BeamNg(benchmark::State& state) {
    const auto frame = emulator::encodeBeamNgFrame(inTheCorner());
    run(state, {frame.begin(), frame.end()}, [](auto datagram, GameData& record) {
        applyBeamNgDatagram(datagram, record);
        applyGravitySplit(record, GravityForm::sum);
    });
}

void BM_LiveForSpeed(benchmark::State& state) {
    run(state, emulator::encodeOutSimPacket(inTheCorner()), [](auto datagram, GameData& record) {
        applyOutSimPacket(datagram, record);
        applyGravitySplit(record, GravityForm::sum);
    });
}

}  // namespace

BENCHMARK(BM_XPlane);
BENCHMARK(BM_Dcs);
BENCHMARK(BM_DirtRally2);
BENCHMARK(BM_Condor2);
BENCHMARK(BM_F1Motion);
BENCHMARK(BM_F1ExtendedMotion);
BENCHMARK(BM_Wrc23);
BENCHMARK(BM_BeamNg);
BENCHMARK(BM_LiveForSpeed);

BENCHMARK_MAIN();
