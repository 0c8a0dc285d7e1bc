#pragma once
// Microsoft Flight Simulator's client interface (SimConnect): what each platform must provide.
//
// The simulators publish their telemetry only through this client library. The engine uses six
// of its calls, with the simulator's own conventions: every result is an HRESULT, negative for a
// failure (and, for getNextDispatch, for an empty queue). Windows loads the simulator's client
// library (SimConnect.dll) at run time, so a machine without it simply finds no simulator; POSIX
// has no simulator and reports the library as not available.
//
// The interface is abstract so that the engine can be handed another implementation; the tests
// hand it a scripted simulator. A client belongs to one thread (the game-source thread).

#include <cstdint>
#include <memory>

namespace tarvelin::platform {

// One open connection to a simulator. Destroying it closes the connection (SimConnect_Close).
class SimConnectClient {
public:
    virtual ~SimConnectClient() = default;

    // SimConnect_AddToDataDefinition: appends one simulation variable to a data definition.
    virtual std::int32_t addToDataDefinition(std::uint32_t definitionId, const char* variableName,
                                             const char* unitsName, std::int32_t dataType, float epsilon,
                                             std::uint32_t datumId) = 0;

    // SimConnect_RequestDataOnSimObject: asks for a definition's data on an object, periodically.
    virtual std::int32_t requestDataOnSimObject(std::uint32_t requestId, std::uint32_t definitionId,
                                                std::uint32_t objectId, std::uint32_t period, std::uint32_t flags,
                                                std::uint32_t origin, std::uint32_t interval,
                                                std::uint32_t limit) = 0;

    // SimConnect_SubscribeToSystemEvent: asks to be told of a named system event.
    virtual std::int32_t subscribeToSystemEvent(std::uint32_t clientEventId, const char* eventName) = 0;

    // SimConnect_GetNextDispatch: takes the next queued message without waiting. On success
    // *message points to it (valid until the next call) and *size holds its length.
    virtual std::int32_t getNextDispatch(const std::uint8_t** message, std::uint32_t* size) = 0;
};

// Opens clients: the simulator's client library, or a stand-in for it.
class SimConnectLibrary {
public:
    virtual ~SimConnectLibrary() = default;

    // SimConnect_Open with the given client name, no window, user message 0, no event handle and
    // configuration index 0. Stores the call's result in *result and returns the client when the
    // result is not negative, else null.
    virtual std::unique_ptr<SimConnectClient> open(const char* clientName, std::int32_t* result) = 0;
};

// The platform's own library: on Windows SimConnect.dll, loaded on first use; elsewhere, or when
// the library is missing, every open fails. Thread-safe.
SimConnectLibrary& systemSimConnect();

// The result that a failed open reports when there is no library at all (E_FAIL).
inline constexpr std::int32_t simConnectUnavailable = static_cast<std::int32_t>(0x80004005u);

}  // namespace tarvelin::platform
