#include "games/game_id.h"

namespace tarvelin {

const char* gameName(GameId game) {
    switch (game) {
        case GameId::xPlane: return "Xplane";
        case GameId::dcs: return "DCS";
        case GameId::flightSimulator2020: return "MSFS2020";
        case GameId::assettoCorsa: return "AssettoCorsa/Comp.";
        case GameId::raceRoom: return "RaceRoom";
        case GameId::dirtRally2: return "DirtRally2";
        case GameId::condor2: return "Condor2";
        case GameId::f1: return "F1-2023-24";
        case GameId::noLimits2: return "NoLimits2";
        case GameId::projectCars2: return "PCAR2/Automobilista2";
        case GameId::iRacing: return "iRacing";
        case GameId::wrc23: return "WRC23";
        case GameId::beamNg: return "BeamNG";
        case GameId::liveForSpeed: return "LFS";
        case GameId::rFactor2: return "rFactor2";
        case GameId::flightSimulator2024: return "MSFS2024";
        case GameId::assettoCorsaEvo: return "AssettoCorsaEvo";
        case GameId::euroTruckSimulator2: return "ETSM2/AMT";
        case GameId::none: break;
    }
    return "No Game online";
}

}  // namespace tarvelin
