#include "platform/network_adapters.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstdlib>
#include <memory>

namespace tarvelin::platform {

namespace {

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

constexpr ULONG flags = GAA_FLAG_INCLUDE_PREFIX;
// The list can grow between learning its size and reading it (an adapter comes up); the read
// is then tried again with the new size, a few times.
constexpr int listingAttempts = 3;

}  // namespace

AdapterQuery queryNetworkAdapters() {
    AdapterQuery query;
    ULONG size = 0;
    ULONG result = ::GetAdaptersAddresses(AF_INET, flags, nullptr, nullptr, &size);
    if (result != ERROR_BUFFER_OVERFLOW) {
        query.failedStep = AdapterQueryStep::sizing;
        query.error = result;
        return query;
    }
    std::unique_ptr<void, FreeDeleter> buffer;
    for (int attempt = 0; attempt < listingAttempts; ++attempt) {
        buffer.reset(std::malloc(size));
        if (!buffer) {
            query.failedStep = AdapterQueryStep::allocation;
            return query;
        }
        result = ::GetAdaptersAddresses(AF_INET, flags, nullptr, static_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
        if (result != ERROR_BUFFER_OVERFLOW) break;
    }
    if (result != NO_ERROR) {
        query.failedStep = AdapterQueryStep::listing;
        query.error = result;
        return query;
    }
    for (auto* entry = static_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()); entry != nullptr; entry = entry->Next) {
        NetworkAdapter& adapter = query.adapters.emplace_back();
        if (entry->FriendlyName != nullptr) adapter.friendlyName = entry->FriendlyName;
        adapter.operStatus = static_cast<std::uint32_t>(entry->OperStatus);
        adapter.type = entry->IfType;
        adapter.ipv4Metric = entry->Ipv4Metric;
        for (auto* unicast = entry->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            adapter.ipv4Addresses.push_back(ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr));
        }
    }
    return query;
}

}  // namespace tarvelin::platform
