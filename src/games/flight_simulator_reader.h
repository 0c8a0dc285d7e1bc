#pragma once
// Microsoft Flight Simulator 2020 and 2024, read through the simulator's client interface. Each
// version has a reader of its own with its own client connection: detection opens the client,
// setUp asks the simulator for the data, and closing the client ends it.

#include <cstdint>
#include <memory>

#include "games/reader_state.h"
#include "platform/simconnect.h"

namespace tarvelin {

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

    // Closes the client (when there is one) and clears the client state.
    void closeClient();

    std::uint32_t clientState = 0;
    std::int32_t lastResult = 0;
    std::unique_ptr<platform::SimConnectClient> client;  // null while closed
};

}  // namespace tarvelin
