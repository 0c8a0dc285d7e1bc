#pragma once
// Looks at a serial port before the link or the fan is pointed at it, so that a wrong name or a
// port held by another program is reported as such instead of as a rig that does not answer,
// and explains a port that the link tried and gave up on.

#include <cstdint>
#include <string>

namespace tarvelin::console {

// Empty when the COM port `name` ("COM5") exists and can be opened now; otherwise what is
// wrong with `what` ("the rig port") and what to do about it. The port is closed again before
// it returns.
std::string serialPortProblem(const std::string& name, const std::string& what);

// What the library said while it tried a fixed port, from its own console lines.
struct LinkAttempt {
    std::uint64_t notOnKnownChip = 0;  // "fail vid..": the port's USB chip is not one it knows
    std::uint64_t wrongAnswer = 0;     // ".. wrong id": something answered, not a rig controller
};

// Why no rig controller was connected on `port`, and what to do about it.
std::string noControllerMessage(const std::string& port, const LinkAttempt& attempt);

}  // namespace tarvelin::console
