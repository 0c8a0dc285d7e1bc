#pragma once
// Microsoft Flight Simulator 2020 and 2024, read through the simulator's client interface. Each
// version has a reader of its own with its own client connection: detection opens the client,
// setUp asks the simulator for the data, read drains the client's message queue every cycle, and
// closing the client ends it.
//
// A message of the queue begins with its size, a version and its kind, 32 bits each. The kinds
// the reader tells apart:
//     1  exception: the simulator refused something; ends the draining of this cycle
//     3  quit: the simulator is closing
//     4  event: a subscribed system event; the client event number at byte 16
//     8  object data: the request number at byte 12, the data block from byte 40
// The data block holds the 17 values of the data definition in its order, 8 bytes each
// (little-endian doubles, the two "on ground" values 64-bit integers).

#include <cstdint>
#include <memory>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"
#include "platform/simconnect.h"

namespace tarvelin {

// What one message of the queue means to the reader.
enum class SimulatorMessage {
    other,      // nothing for the reader (another request's data, an event it ignores, ...)
    data,       // the engine's data block: the record and the profile selector were updated
    exception,  // the simulator reported an exception
    quit,       // the simulator quits (its quit message, or the "Quit" event)
};

inline constexpr std::size_t flightSimulatorDataOffset = 40;
inline constexpr std::size_t flightSimulatorDataMessageSize = flightSimulatorDataOffset + 17 * 8;

// Reads one message of the queue. A data block of the engine's request gives the accelerations
// (without gravity, m/s²), the velocities (m/s), the rotation rates (degrees/s) and the attitude
// (degrees) of the user's aircraft, and the profile selector: 1 while "SIM ON GROUND" reads 1,
// else 0. A message too short for what its kind carries, and a data block with a value that does
// not come out as a finite number, count as other and change nothing. Pure: no I/O, no clock, no allocation.
SimulatorMessage applyFlightSimulatorMessage(std::span<const std::uint8_t> message, GameData& record,
                                             std::int32_t& profileSelector);

class FlightSimulatorReader : public ReaderState {
public:
    // The name under which the engine's client appears in the simulator.
    static constexpr const char* clientName = "Tarvelin";

    // Identifiers the engine chose for its data definition, its request and its events.
    static constexpr std::uint32_t definitionId = 0;
    static constexpr std::uint32_t requestId = 0;
    enum ClientEvent : std::uint32_t { simEvent = 3, simStartEvent = 4, simStopEvent = 5, crashedEvent = 6, quitEvent = 7 };

    // Defines the seventeen values the reader takes (accelerations, velocities, rotation rates
    // and attitude of the user's aircraft, and whether it is on the ground), asks for them every
    // simulation frame and subscribes to the simulator's system events. Returns 1 when the last
    // subscription succeeded; otherwise closes the client and returns 0, as it does without a
    // client. Game-source thread only.
    int setUp();

    // Takes the messages waiting in the client's queue, without waiting, and applies each; the
    // record then holds the newest data block, completed with gravity, and the frame interval
    // is the time since the previous call. An exception ends the draining early. Returns true
    // when the queue was read (also when it was empty), false without a client and when the
    // simulator quit, in which case the client is closed. Game-source thread only; no allocation.
    bool read(GameData& record);

    // Closes the client (when there is one) and clears the client state.
    void closeClient();

    std::uint32_t clientState = 0;
    std::int32_t lastResult = 0;
    std::unique_ptr<platform::SimConnectClient> client;  // null while closed
};

}  // namespace tarvelin
