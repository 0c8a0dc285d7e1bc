#include "host_console/port_check.h"

#include <cctype>
#include <optional>

#include "platform/com_port_names.h"
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

std::optional<unsigned> comNumber(const std::string& name) {
    if (name.size() <= 3 || name.size() > 8) return std::nullopt;
    unsigned number = 0;
    for (const char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

// Where a missing port would be and how to put a device there.
std::string missingPortAdvice(const std::string& name) {
    const auto number = comNumber(name);
    const auto place = number ? platform::comPortPlace(*number) : platform::ComPortPlace{};
    if (place.link.empty()) {
        return "; the Device Manager lists the board under 'Ports (COM & LPT)' with its COM number, if the system "
               "sees it at all (then check its cable and driver)";
    }
    const std::string link = place.link.string();
    const std::string system = platform::comPortsAreLinks() ? "On Linux" : "Under Wine";
    std::string advice = ". " + system + ", " + name + " is the device that the link " + link + " points to";
    advice += place.defaultDevice.empty() ? " (there is no such link)"
                                          : ", or " + place.defaultDevice.string() + " while there is no link (neither exists)";
    advice += ". Link your board's device there: ln -s /dev/ttyACM0 " + link;
    if (platform::comPortsAreLinks()) advice += ", or give the device itself: --port /dev/ttyACM0";
    return advice;
}

}  // namespace

std::string serialPortProblem(const std::string& name, const std::string& what) {
    const std::wstring wide(name.begin(), name.end());
    if (!platform::commPortExists(wide)) return what + " " + name + " does not exist" + missingPortAdvice(name);
    const auto handle = platform::openSerialDevice("\\\\.\\" + name);
    if (handle == platform::invalidSerialHandle()) {
        const auto code = platform::lastSystemError();
        std::wstring text;
        platform::describeSystemError(code, text);
        return what + " " + name + " cannot be opened (" + (text.empty() ? "error " + std::to_string(code) : narrow(text)) +
               "): close the program that holds it (another rig tool, a serial monitor, a second console) and try "
               "again";
    }
    platform::closeSerialDevice(handle);
    return {};
}

std::string noControllerMessage(const std::string& port, const LinkAttempt& attempt) {
    if (attempt.notOnKnownChip > 0) {
        return port + " is not on one of the USB serial chips the rig link knows (CH340, FT232R, CP210x, SAM3X, "
                      "STM32 virtual port), so the link did not write to it. If your board has another chip or "
                      "native USB, set 'usb_chip_check = off' in the profile's [link] section";
    }
    if (attempt.wrongAnswer > 0) {
        return "a device on " + port + " answered, but not as a rig controller: check that " + port +
               " is the board's port and that the board runs the rig controller firmware";
    }
    return "no rig controller answered on " + port + ": check that the board is powered and plugged in, that " + port +
           " is its port, and that it runs the rig controller firmware";
}

}  // namespace tarvelin::console
