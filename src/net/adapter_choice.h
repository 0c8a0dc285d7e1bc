#pragma once
// The choice of the network adapter that the rig link's multicast leaves from: the machine's
// preferred wired Ethernet adapter.

#include <string>
#include <vector>

#include "log/error_log.h"
#include "platform/network_adapters.h"

namespace tarvelin {

// Among the adapters that are up and of type Ethernet, the one with the lowest IPv4 metric
// (the first listed of equals). Every step of the reasoning goes to `log`. Returns the chosen
// adapter's first IPv4 address in dotted form, or an empty string when none qualifies or the
// chosen one has no IPv4 address. Pure apart from the log.
std::string chooseEthernetAdapter(const std::vector<platform::NetworkAdapter>& adapters, ErrorLog& log);

// Asks the system for its adapters (failures logged as errors) and chooses among them.
std::string GetPreferredEthernetAdapter(ErrorLog& log);

}  // namespace tarvelin
