// The engine finds the Flight Simulators through the platform's client library, which the
// platform layer hands out from one function, platform::systemSimConnect(). This program plays
// the simulators in its own process, so it defines that function itself and returns the telemetry
// emulator's simulator. The linker then takes this definition and leaves the platform's out of
// the static library, on every platform: the engine under test is the product's own code,
// with nothing added to it for the tests. (Should the platform's file ever define anything else
// this program needs, the link fails with a duplicate definition rather than going quietly wrong.)

#include "flight_simulator_encoder.h"
#include "platform/simconnect.h"

namespace tarvelin::platform {

SimConnectLibrary& systemSimConnect() { return emulator::emulatedSimulator(); }

}  // namespace tarvelin::platform
