#pragma once
// Looks at a serial port before the link is pointed at it, so that a wrong name or a port held
// by another program is reported as such instead of as a rig that does not answer.

#include <string>

namespace tarvelin::console {

// Empty when the COM port `name` ("COM5") exists and can be opened now; otherwise a sentence
// saying why not. The port is closed again before it returns.
std::string serialPortProblem(const std::string& name);

}  // namespace tarvelin::console
