#pragma once
// A Flight Simulator for the tests: it stands behind the engine's client interface, answers an
// open when told to, records every call it receives, fails the subscriptions it is told to fail,
// and hands out the messages it is given, oldest first, as its clients' queue.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/simconnect.h"

namespace tarvelin::test {

class ScriptedSimulator : public platform::SimConnectLibrary {
public:
    bool answers = false;                                     // whether an open succeeds
    std::map<std::string, std::int32_t> subscriptionResults;  // by event name; 0 otherwise
    int opened = 0;
    int closed = 0;
    std::vector<std::string> calls;  // one line per call, in order
    std::deque<std::vector<std::uint8_t>> messages;  // the queue; empty: every dispatch fails

    std::unique_ptr<platform::SimConnectClient> open(const char* clientName, std::int32_t* result) override {
        calls.push_back(std::string("open ") + clientName);
        if (!answers) {
            *result = platform::simConnectUnavailable;
            return nullptr;
        }
        *result = 0;
        ++opened;
        return std::make_unique<Client>(*this);
    }

    int clientsOpen() const { return opened - closed; }

private:
    class Client : public platform::SimConnectClient {
    public:
        explicit Client(ScriptedSimulator& simulator) : simulator_(simulator) {}
        ~Client() override {
            ++simulator_.closed;
            simulator_.calls.push_back("close");
        }

        std::int32_t addToDataDefinition(std::uint32_t definitionId, const char* variableName, const char* unitsName,
                                         std::int32_t dataType, float epsilon, std::uint32_t datumId) override {
            simulator_.calls.push_back("define " + std::to_string(definitionId) + " " + variableName + " | " +
                                       unitsName + " | " + std::to_string(dataType) + " " +
                                       std::to_string(epsilon) + " " + std::to_string(datumId));
            return 0;
        }

        std::int32_t requestDataOnSimObject(std::uint32_t requestId, std::uint32_t definitionId,
                                            std::uint32_t objectId, std::uint32_t period, std::uint32_t flags,
                                            std::uint32_t origin, std::uint32_t interval,
                                            std::uint32_t limit) override {
            simulator_.calls.push_back("request " + std::to_string(requestId) + " " + std::to_string(definitionId) +
                                       " " + std::to_string(objectId) + " " + std::to_string(period) + " " +
                                       std::to_string(flags) + " " + std::to_string(origin) + " " +
                                       std::to_string(interval) + " " + std::to_string(limit));
            return 0;
        }

        std::int32_t subscribeToSystemEvent(std::uint32_t clientEventId, const char* eventName) override {
            simulator_.calls.push_back("subscribe " + std::to_string(clientEventId) + " " + eventName);
            const auto scripted = simulator_.subscriptionResults.find(eventName);
            return scripted == simulator_.subscriptionResults.end() ? 0 : scripted->second;
        }

        std::int32_t getNextDispatch(const std::uint8_t** message, std::uint32_t* size) override {
            if (simulator_.messages.empty()) return platform::simConnectUnavailable;
            current_ = std::move(simulator_.messages.front());
            simulator_.messages.pop_front();
            *message = current_.data();
            *size = static_cast<std::uint32_t>(current_.size());
            return 0;
        }

    private:
        ScriptedSimulator& simulator_;
        std::vector<std::uint8_t> current_;  // valid until the next dispatch
    };
};

}  // namespace tarvelin::test
