#pragma once
// Where each game publishes its telemetry: the UDP ports the engine listens on and the named
// shared-memory blocks it maps, with the length of each view. The games (and their plugins)
// fix these; none of them can be configured.

#include <cstddef>
#include <cstdint>

namespace tarvelin::games {

inline constexpr int xPlanePort = 4321;
inline constexpr int dcsPort = 4124;
inline constexpr int dirtRally2Port = 20778;
inline constexpr int condor2Port = 55278;
inline constexpr int f1Port = 20777;
inline constexpr int wrc23Port = 20788;
inline constexpr int beamNgPort = 4444;
inline constexpr int liveForSpeedPort = 4123;

struct Block {
    const wchar_t* name;
    std::size_t size;  // the length the engine maps
};

inline constexpr Block assettoCorsaPhysics{L"Local\\acpmf_physics", 712};
inline constexpr Block assettoCorsaGraphics{L"Local\\acpmf_graphics", 1320};
// The graphics block's status word (offset 4) while a session is live; 0 off, 1 replay, 3 paused.
inline constexpr std::size_t assettoCorsaStatusOffset = 4;
inline constexpr std::int32_t assettoCorsaLive = 2;
// Assetto Corsa EVO's own physics block; its first part has the layout of Assetto Corsa's.
inline constexpr Block assettoCorsaEvoPhysics{L"Local\\acevo_pmf_physics", 800};

inline constexpr Block raceRoom{L"$R3E", 39320};
inline constexpr Block projectCars2{L"$pcars2$", 20700};
// Written by the engine's companion plugin inside rFactor 2. While the plugin is not ready, the
// block's first word holds this value.
inline constexpr Block rFactor2{L"Local\\Tarvelin_rf2_data", 1888};
inline constexpr std::uint32_t rFactor2NotReady = 1234567890;
// Written by the SCS telemetry example plugin inside Euro Truck Simulator 2.
inline constexpr Block euroTruckSimulator2{L"SCSTelemetryExample", 177};

}  // namespace tarvelin::games
