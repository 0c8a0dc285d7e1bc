#include "net/adapter_choice.h"

#include "net/ipv4_text.h"
#include "platform/utf8.h"

namespace tarvelin {

namespace {

constexpr std::uint32_t noMetricYet = 2147483647;

std::string nameOf(const platform::NetworkAdapter& adapter) {
    return platform::toUtf8(adapter.friendlyName);
}

}  // namespace

std::string chooseEthernetAdapter(const std::vector<platform::NetworkAdapter>& adapters, ErrorLog& log) {
    const platform::NetworkAdapter* best = nullptr;
    std::uint32_t bestMetric = noMetricYet;
    for (const auto& adapter : adapters) {
        log.logInfo(widen("Examining adapter: " + nameOf(adapter)));
        if (adapter.operStatus == platform::adapterStatusUp && adapter.type == platform::adapterTypeEthernet) {
            log.logInfo(L"Adapter is active and of type Ethernet.");
            if (adapter.ipv4Metric < bestMetric) {
                log.logInfo(widen("Adapter has lower metric (" + std::to_string(adapter.ipv4Metric) +
                                  "). Selecting this adapter."));
                best = &adapter;
                bestMetric = adapter.ipv4Metric;
            }
        } else {
            log.logInfo(L"Adapter is either inactive or not of type Ethernet. Skipping.");
        }
    }
    if (best == nullptr) {
        log.logError(L"No suitable adapter found.");
        return {};
    }
    log.logInfo(widen("Best adapter selected: " + nameOf(*best) + " with metric: " + std::to_string(bestMetric)));
    if (best->ipv4Addresses.empty()) return {};
    const std::string address = formatIPv4(best->ipv4Addresses.front());
    log.logInfo(widen("Selected adapter IP: " + address));
    return address;
}

std::string GetPreferredEthernetAdapter(ErrorLog& log) {
    log.logInfo(L"Starting GetPreferredEthernetAdapter routine.");
    const platform::AdapterQuery query = platform::queryNetworkAdapters();
    switch (query.failedStep) {
        case platform::AdapterQueryStep::none:
            return chooseEthernetAdapter(query.adapters, log);
        case platform::AdapterQueryStep::sizing:
            log.logError(widen("GetAdaptersAddresses failed during buffer size determination. Error: " +
                               std::to_string(query.error)));
            return {};
        case platform::AdapterQueryStep::allocation:
            log.logError(L"Memory allocation failed for adapterAddresses.");
            return {};
        case platform::AdapterQueryStep::listing:
            log.logError(widen("GetAdaptersAddresses failed. Error: " + std::to_string(query.error)));
            return {};
    }
    return {};
}

}  // namespace tarvelin
