#pragma once
// Finds the running game, opens its telemetry channel and reads its frames into the one
// telemetry record of the engine.
//
// One game is active at a time, marked by its flag. The game-source thread drives the four
// operations: detect while no game is connected, connect when one was found, readFrame every
// cycle while connected, and disconnect when the game is given up. Only that thread calls them.
// Host threads read the flags (activeGame, and through it getGameID and getGameName) without a
// lock; a look that falls between the clearing of one flag and the setting of another sees no
// game for that moment.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "core/game_data.h"
#include "games/assetto_corsa_evo_reader.h"
#include "games/assetto_corsa_reader.h"
#include "games/beamng_reader.h"
#include "games/condor2_reader.h"
#include "games/dcs_reader.h"
#include "games/dirt_rally2_reader.h"
#include "games/euro_truck_simulator2_reader.h"
#include "games/f1_reader.h"
#include "games/flight_simulator_reader.h"
#include "games/game_channels.h"
#include "games/game_id.h"
#include "games/iracing_reader.h"
#include "games/live_for_speed_reader.h"
#include "games/nolimits_reader.h"
#include "games/project_cars2_reader.h"
#include "games/raceroom_reader.h"
#include "games/reader_state.h"
#include "games/rfactor2_reader.h"
#include "games/wrc23_reader.h"
#include "games/xplane_reader.h"
#include "platform/simconnect.h"
#include "platform/socket.h"

namespace tarvelin {

class GameSource {
public:
    // The Flight Simulator clients are opened through `simConnect` (the platform's client
    // library unless a test hands in another).
    explicit GameSource(platform::SimConnectLibrary& simConnect = platform::systemSimConnect());
    // Closes every socket, block and client the readers still hold.
    ~GameSource();
    GameSource(const GameSource&) = delete;
    GameSource& operator=(const GameSource&) = delete;

    // Tests the games in detection order and sets the flag of the first one found: 1, or 0
    // when none runs. Clears the flag of every game that failed its test on the way, and waits
    // 10 ms after each failure but the last. A scan that finds nothing takes about 300 ms.
    int detect();

    // Opens the telemetry channel of the flagged game: 1 when it is open, else 0 (also when no
    // flag is set). A failed connection leaves the flag set; the next detect re-evaluates it.
    int connect();

    // Reads one frame of the flagged game into gameData: true when a frame was delivered.
    // False without a flag, and for the games whose reader is not available.
    bool readFrame();

    // Closes the flagged game's channel and clears its flag: 1, or 0 when no flag was set.
    int disconnect();

    // Whether the flagged game's frames arrive on a socket that the cycle can wait on: the UDP
    // games and NoLimits 2 while connected. Games read from shared memory or through SimConnect
    // publish without telling anyone, so their cycle keeps its own pace.
    bool framesArriveOnSocket() const;

    // Waits at most `limit` for the flagged game's socket to hold something to read: true when
    // it does (a frame, most likely; readFrame tells), false on the time-out or when there is
    // no socket to wait on. NoLimits 2 answers only when asked, so its request goes out first.
    bool waitForFrame(std::chrono::microseconds limit);

    // The first flagged game in detection order, or none. Any thread.
    GameId activeGame() const;

    // The profile the active game asks for (0 AIR, 1 GROUND), or -1 without a game.
    std::int32_t activeProfileSelector() const;

    void clearFlags();

    bool isFlagged(GameId game) const { return activeFlags[indexOf(game)].load(); }

private:
    platform::SimConnectLibrary& simConnect_;

public:
    // Indexed by GameId. At most one is set.
    std::array<std::atomic<bool>, gameCount> activeFlags{};

    // One reader state per game, in detection order.
    XPlaneReader xPlane;
    DcsReader dcs;
    FlightSimulatorReader flightSimulator2020;
    FlightSimulatorReader flightSimulator2024;
    AssettoCorsaReader assettoCorsa;
    AssettoCorsaEvoReader assettoCorsaEvo;
    RaceRoomReader raceRoom;
    DirtRally2Reader dirtRally2;
    Condor2Reader condor2;
    F1Reader f1;
    NoLimitsReader noLimits2;
    ProjectCars2Reader projectCars2;
    IRacingReader iRacing;
    Wrc23Reader wrc23;
    BeamNgReader beamNg;
    LiveForSpeedReader liveForSpeed;
    RFactor2Reader rFactor2;
    EuroTruckSimulator2Reader euroTruckSimulator2;

    // The record every reader fills. It stays the last member: the engine and its exports
    // reach it as gameSource.gameData.
    GameData gameData;

private:
    bool detectGame(GameId game);
    int connectGame(GameId game);
    void disconnectGame(GameId game);
    bool readGame(GameId game);
    const ReaderState& readerOf(GameId game) const;
    // The socket the flagged game's frames arrive on, or none.
    platform::SocketHandle frameSocket() const;

    bool detectFlightSimulator(FlightSimulatorReader& reader, const wchar_t* executableName);
    int connectSharedBlock(BlockReaderState& reader, const games::Block& block, std::size_t leastSize);
    int connectRFactor2();
};

}  // namespace tarvelin
