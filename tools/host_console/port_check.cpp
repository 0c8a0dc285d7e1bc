#include "host_console/port_check.h"

#include "platform/serial_port.h"
#include "platform/system_error.h"

namespace tarvelin::console {

namespace {

std::string narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) {
        out.pop_back();
    }
    return out;
}

}  // namespace

std::string serialPortProblem(const std::string& name) {
    const std::wstring wide(name.begin(), name.end());
    if (!platform::commPortExists(wide)) return name + " does not exist on this system";
    const auto handle = platform::openSerialDevice("\\\\.\\" + name);
    if (handle == platform::invalidSerialHandle()) {
        const auto code = platform::lastSystemError();
        std::wstring text;
        platform::describeSystemError(code, text);
        return name + " cannot be opened (" + (text.empty() ? "error " + std::to_string(code) : narrow(text)) +
               "); is another program using it?";
    }
    platform::closeSerialDevice(handle);
    return {};
}

}  // namespace tarvelin::console
