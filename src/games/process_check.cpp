#include "games/process_check.h"

#include "platform/process_list.h"

namespace tarvelin {

namespace {

struct Search {
    std::wstring_view wanted;
    bool found = false;
};

bool compare(std::wstring_view executableName, void* context) {
    auto& search = *static_cast<Search*>(context);
    search.found = executableName == search.wanted;
    return !search.found;
}

}  // namespace

bool isProcessRunning(std::wstring_view executableName) {
    Search search{executableName};
    if (!platform::forEachProcess(compare, &search)) return false;
    return search.found;
}

}  // namespace tarvelin
