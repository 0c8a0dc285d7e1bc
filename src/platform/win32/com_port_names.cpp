#include "platform/com_port_names.h"

#include <windows.h>

#include <cstdlib>

namespace tarvelin::platform {

namespace {

// Wine's ntdll exports its version; Windows' does not.
bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine keeps the prefix's COM links in its dosdevices folder; the prefix is $WINEPREFIX, or
// ~/.wine by default. Both are Unix paths, which Wine passes to its programs unchanged.
std::filesystem::path winePrefix() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') return prefix;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home) + "/.wine";
    return {};
}

// Wine's numbering for ports without a link: serial lines, then USB serial adapters, then USB
// modems (ACM), 32 of each.
std::filesystem::path wineDefaultDevice(unsigned number) {
    if (number >= 1 && number <= 32) return "/dev/ttyS" + std::to_string(number - 1);
    if (number >= 33 && number <= 64) return "/dev/ttyUSB" + std::to_string(number - 33);
    if (number >= 65 && number <= 96) return "/dev/ttyACM" + std::to_string(number - 65);
    return {};
}

}  // namespace

ComPortPlace comPortPlace(unsigned number) {
    if (!underWine()) return {};
    const auto prefix = winePrefix();
    ComPortPlace place;
    if (!prefix.empty()) place.link = prefix.generic_string() + "/dosdevices/com" + std::to_string(number);
    place.defaultDevice = wineDefaultDevice(number);
    return place;
}

bool comPortsAreLinks() { return false; }

std::optional<unsigned> comPortOfDevice(const std::filesystem::path&) { return std::nullopt; }

bool linkComPort(unsigned, const std::filesystem::path&, std::string& error) {
    error = "COM ports are not links on this system";
    return false;
}

void unlinkComPort(unsigned) {}

}  // namespace tarvelin::platform
