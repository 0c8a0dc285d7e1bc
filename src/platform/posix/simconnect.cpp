#include "platform/simconnect.h"

namespace tarvelin::platform {

namespace {

// No Flight Simulator runs on these systems, so there is no client library to talk to.
class UnavailableSimConnect final : public SimConnectLibrary {
public:
    std::unique_ptr<SimConnectClient> open(const char*, std::int32_t* result) override {
        *result = simConnectUnavailable;
        return nullptr;
    }
};

}  // namespace

SimConnectLibrary& systemSimConnect() {
    static UnavailableSimConnect library;
    return library;
}

}  // namespace tarvelin::platform
