#include "platform/network_adapters.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/utf8.h"

namespace tarvelin::platform {

namespace {

// The lowest metric of each interface's IPv4 default route. /proc/net/route lists the main
// table: interface, destination, gateway, flags, references, use, metric, mask, ... with the
// addresses in hexadecimal.
std::map<std::string, std::uint32_t> defaultRouteMetrics() {
    std::map<std::string, std::uint32_t> metrics;
    std::ifstream table("/proc/net/route");
    std::string line;
    std::getline(table, line);  // the column names
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway, mask;
        unsigned flags = 0, references = 0, use = 0;
        std::uint32_t metric = 0;
        if (!(fields >> name >> destination >> gateway >> std::hex >> flags >> std::dec >> references >> use >> metric >> mask)) continue;
        if (destination != "00000000" || mask != "00000000") continue;
        const auto found = metrics.find(name);
        if (found == metrics.end() || metric < found->second) metrics[name] = metric;
    }
    return metrics;
}

std::uint32_t adapterType(const std::string& name, unsigned short hardwareType) {
    if (hardwareType == ARPHRD_LOOPBACK) return adapterTypeLoopback;
    if (hardwareType != ARPHRD_ETHER) return adapterTypeOther;
    // A wireless interface is an Ethernet link to the kernel; its wireless device tells it apart.
    const std::filesystem::path device = std::filesystem::path("/sys/class/net") / name;
    std::error_code ignored;
    if (std::filesystem::exists(device / "wireless", ignored) || std::filesystem::exists(device / "phy80211", ignored)) {
        return adapterTypeWireless;
    }
    return adapterTypeEthernet;
}

}  // namespace

AdapterQuery queryNetworkAdapters() {
    AdapterQuery query;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        query.failedStep = AdapterQueryStep::listing;
        query.error = static_cast<unsigned long>(errno);
        return query;
    }
    const auto metrics = defaultRouteMetrics();
    std::vector<std::string> names;
    auto adapterOf = [&](const char* name) -> NetworkAdapter& {
        const auto found = std::find(names.begin(), names.end(), name);
        if (found != names.end()) return query.adapters[static_cast<std::size_t>(found - names.begin())];
        names.emplace_back(name);
        NetworkAdapter& adapter = query.adapters.emplace_back();
        adapter.friendlyName = fromUtf8(name);
        const auto metric = metrics.find(name);
        adapter.ipv4Metric = metric == metrics.end() ? metricWithoutDefaultRoute : metric->second;
        return adapter;
    };
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr) continue;
        NetworkAdapter& adapter = adapterOf(entry->ifa_name);
        const bool running = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0;
        adapter.operStatus = running ? adapterStatusUp : adapterStatusDown;
        if (entry->ifa_addr == nullptr) continue;
        if (entry->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
            adapter.type = adapterType(entry->ifa_name, link->sll_hatype);
        } else if (entry->ifa_addr->sa_family == AF_INET) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            adapter.ipv4Addresses.push_back(ntohl(address->sin_addr.s_addr));
        }
    }
    ::freeifaddrs(list);
    return query;
}

}  // namespace tarvelin::platform
