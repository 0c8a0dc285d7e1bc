#include "serial/port_discovery.h"

#include <array>
#include <climits>
#include <cwctype>
#include <string_view>

#include "platform/serial_port.h"
#include "platform/system_error.h"
#include "serial/console.h"

namespace tarvelin::serial {

namespace {

bool startsWithComIgnoringCase(std::wstring_view name) {
    return name.size() > 3 && std::towupper(name[0]) == L'C' && std::towupper(name[1]) == L'O' &&
           std::towupper(name[2]) == L'M';
}

// The decimal value of a run of digits, held to INT_MAX as _wtoi holds it.
unsigned parseDigits(std::wstring_view digits) {
    unsigned long long value = 0;
    for (const wchar_t digit : digits) {
        value = value * 10 + static_cast<unsigned>(digit - L'0');
        if (value > INT_MAX) return INT_MAX;
    }
    return static_cast<unsigned>(value);
}

constexpr std::array<std::string_view, 5> supportedChips{
    "VID_1A86&PID_7523", "VID_0403&PID_6001", "VID_10C4&PID_EA60", "VID_03EB&PID_6124", "VID_0483&PID_5740"};

constexpr std::uint32_t maxDevices = 6000;
constexpr std::size_t propertyCapacity = 1024;

}  // namespace

bool CEnumerateSerial::UsingQueryDosDevice(std::vector<unsigned>& ports) {
    ports.clear();
    std::vector<wchar_t> names(4096);
    for (;;) {
        const std::uint32_t stored = platform::queryDosDeviceNames(names.data(), static_cast<std::uint32_t>(names.size()));
        if (stored != 0) {
            names.resize(stored);
            break;
        }
        if (platform::lastSystemError() != platform::serialErrorInsufficientBuffer) return false;
        names.resize(names.size() * 2);
    }

    // A multi-string: names ended by a zero each, the list by an empty name. The walk also stops
    // at the end of what was stored, should the system leave off the final zero.
    std::size_t position = 0;
    while (position < names.size() && names[position] != L'\0') {
        std::size_t end = position;
        while (end < names.size() && names[end] != L'\0') ++end;
        const std::wstring_view name(names.data() + position, end - position);
        if (startsWithComIgnoringCase(name)) {
            const auto digits = name.substr(3);
            bool allDigits = true;
            for (const wchar_t c : digits) allDigits = allDigits && std::iswdigit(c) != 0;
            if (allDigits) ports.push_back(parseDigits(digits));
        }
        position = end + 1;
    }
    return true;
}

bool isSupportedUsbSerial(const std::string& name) {
    platform::PortDeviceList devices;
    if (!devices.isOpen()) return false;
    std::string value;
    for (std::uint32_t index = 0; index < maxDevices; ++index) {
        const auto entry = devices.device(index);
        if (entry == platform::PortDeviceList::Entry::noMoreItems) break;
        if (entry == platform::PortDeviceList::Entry::failed) continue;

        if (!devices.property(index, platform::PortDeviceList::Property::friendlyName, propertyCapacity, value)) continue;
        // The text ends at its first zero, or at the end of the buffer when the system filled
        // it to the brim without one.
        const std::string_view friendlyName(value.c_str());
        if (friendlyName.find(name) == std::string_view::npos) continue;

        // A device whose ids cannot be read is searched as having none.
        if (!devices.property(index, platform::PortDeviceList::Property::hardwareId, propertyCapacity, value)) value.clear();
        const std::string_view hardwareIds(value.data(), value.size());
        for (const auto chip : supportedChips) {
            if (hardwareIds.find(chip) != std::string_view::npos) return true;
        }
        consolePrint("vid wrong \n\r");
    }
    return false;
}

}  // namespace tarvelin::serial
