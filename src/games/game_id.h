#pragma once
// The supported games and simulators: their numbers as the host sees them, the order in which
// the engine looks for them, and the names it reports.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvelin {

// The numbers are part of the host interface (getGameID). They are not in detection order: the
// later additions (Flight Simulator 2024, Assetto Corsa EVO, Euro Truck Simulator 2) took the
// next free numbers but are looked for beside their relatives.
enum class GameId : std::int32_t {
    none = -1,
    xPlane = 0,
    dcs = 1,
    flightSimulator2020 = 2,
    assettoCorsa = 3,  // also Assetto Corsa Competizione
    raceRoom = 4,
    dirtRally2 = 5,
    condor2 = 6,
    f1 = 7,  // F1 23 and F1 24
    noLimits2 = 8,
    projectCars2 = 9,  // also Automobilista 2
    iRacing = 10,
    wrc23 = 11,
    beamNg = 12,
    liveForSpeed = 13,
    rFactor2 = 14,
    flightSimulator2024 = 15,
    assettoCorsaEvo = 16,
    euroTruckSimulator2 = 17,
};

inline constexpr std::size_t gameCount = 18;

// The order of detection, which is also the order in which every question about "the active
// game" tests the flags: when several games run at once, the first one here wins.
inline constexpr std::array<GameId, gameCount> detectionOrder = {
    GameId::xPlane,       GameId::dcs,           GameId::flightSimulator2020, GameId::flightSimulator2024,
    GameId::assettoCorsa, GameId::assettoCorsaEvo, GameId::raceRoom,        GameId::dirtRally2,
    GameId::condor2,      GameId::f1,            GameId::noLimits2,           GameId::projectCars2,
    GameId::iRacing,      GameId::wrc23,         GameId::beamNg,              GameId::liveForSpeed,
    GameId::rFactor2,     GameId::euroTruckSimulator2,
};

inline constexpr std::size_t indexOf(GameId game) { return static_cast<std::size_t>(game); }

// The name getGameName reports ("No Game online" for none). At most 20 characters.
const char* gameName(GameId game);

inline constexpr std::size_t longestGameName = 20;

}  // namespace tarvelin
