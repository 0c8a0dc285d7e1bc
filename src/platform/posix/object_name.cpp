#include "platform/posix/object_name.h"

namespace tarvelin::platform::posix {

std::string objectName(std::wstring_view windowsName) {
    constexpr std::wstring_view localPrefix = L"Local\\";
    if (windowsName.substr(0, localPrefix.size()) == localPrefix) windowsName.remove_prefix(localPrefix.size());
    // Built by appending: GCC 12 at -O2 and above warns (-Wrestrict, wrongly) about
    // "/" + std::string.
    std::string name = "/";
    name += toUtf8(windowsName);
    return name;
}

}  // namespace tarvelin::platform::posix
