#pragma once
// The machine's network adapters with their IPv4 addresses, from which the rig link's multicast
// sender chooses the one to send from: what each platform must provide.
//
// Windows: GetAdaptersAddresses for IPv4 (AF_INET, GAA_FLAG_INCLUDE_PREFIX), in the order the
// system lists them. POSIX: getifaddrs, in interface order. The numbers keep Windows' meaning on
// both platforms, so that the choice above this contract is written once:
//  - operational state: up when the interface is up and running (IFF_UP and IFF_RUNNING, which
//    Linux sets when the link has a carrier or its driver does not track one);
//  - type: Ethernet for links of ARP type Ethernet (veth and bridges included, as Windows counts
//    virtual adapters), wireless for those that also have a wireless device, loopback, or other;
//  - metric: POSIX has no interface metric. The stand-in is the metric of the interface's IPv4
//    default route in the main routing table (/proc/net/route), which is how Linux prefers one
//    network over another (its network managers give wired links a lower one than wireless);
//    an interface without a default route gets metricWithoutDefaultRoute, after all that have one.

#include <cstdint>
#include <string>
#include <vector>

namespace tarvelin::platform {

// IF_OPER_STATUS values.
inline constexpr std::uint32_t adapterStatusUp = 1;
inline constexpr std::uint32_t adapterStatusDown = 2;
// IANA interface types (IF_TYPE_*).
inline constexpr std::uint32_t adapterTypeOther = 1;
inline constexpr std::uint32_t adapterTypeEthernet = 6;
inline constexpr std::uint32_t adapterTypeLoopback = 24;
inline constexpr std::uint32_t adapterTypeWireless = 71;

inline constexpr std::uint32_t metricWithoutDefaultRoute = 65536;

struct NetworkAdapter {
    std::wstring friendlyName;
    std::uint32_t operStatus = adapterStatusDown;
    std::uint32_t type = adapterTypeOther;
    std::uint32_t ipv4Metric = 0;
    std::vector<std::uint32_t> ipv4Addresses;  // unicast, host byte order, in the system's order
};

// The step of the query that failed.
enum class AdapterQueryStep {
    none,        // the list is complete
    sizing,      // learning the size of the list (error: anything but "buffer too small", 111)
    allocation,  // no memory for the list
    listing,     // reading the list
};

struct AdapterQuery {
    AdapterQueryStep failedStep = AdapterQueryStep::none;
    unsigned long error = 0;  // the system's result code for the failed step
    std::vector<NetworkAdapter> adapters;
};

AdapterQuery queryNetworkAdapters();

}  // namespace tarvelin::platform
