#include "host_console/page_access.h"

#include <cctype>
#include <charconv>
#include <string_view>

#include "host_console/text.h"

namespace tarvelin::console {

namespace {

std::string hostName(const std::string& host) {
    // "[::1]:8765", "127.0.0.1:8765", "localhost"
    if (!host.empty() && host.front() == '[') return host.substr(1, host.find(']') - 1);
    const auto colon = host.find(':');
    return colon == std::string::npos ? host : host.substr(0, colon);
}

bool isIpv4(std::string_view name) {
    int parts = 0;
    while (true) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), value);
        if (error != std::errc() || end == name.data() || value > 255) return false;
        ++parts;
        name.remove_prefix(static_cast<std::size_t>(end - name.data()));
        if (name.empty()) return parts == 4;
        if (name.front() != '.' || parts == 4) return false;
        name.remove_prefix(1);
    }
}

// An IPv6 address as a Host header carries it: hexadecimal groups and colons (a trailing IPv4
// part included). Only its shape matters here: it is no name that a DNS server could point
// elsewhere.
bool isIpv6(std::string_view name) {
    if (name.find(':') == std::string_view::npos) return false;
    for (const char c : name) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    }
    return true;
}

}  // namespace

bool isLoopbackAddress(const std::string& address) {
    std::string_view name = address;
    if (name.substr(0, 7) == "::ffff:") name.remove_prefix(7);
    if (isIpv4(name)) return name.substr(0, 4) == "127.";
    return address == "::1";
}

bool requestAllowed(const std::string& peer, const std::string& host, const std::string& bindAddress) {
    const bool openToOthers = !isLoopbackAddress(bindAddress) && lower(bindAddress) != "localhost";
    if (!isLoopbackAddress(peer) && !openToOthers) return false;
    // A page from elsewhere can point a name of its own at this machine; it cannot make the
    // browser send this machine's address or "localhost" as the host it asks for.
    const std::string name = lower(hostName(host));
    return name == "localhost" || isIpv4(name) || isIpv6(name);
}

}  // namespace tarvelin::console
