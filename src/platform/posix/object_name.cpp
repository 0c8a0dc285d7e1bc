#include "platform/posix/object_name.h"

namespace tarvelin::platform::posix {

std::string objectName(std::wstring_view windowsName) {
    constexpr std::wstring_view localPrefix = L"Local\\";
    if (windowsName.substr(0, localPrefix.size()) == localPrefix) windowsName.remove_prefix(localPrefix.size());
    return "/" + toUtf8(windowsName);
}

}  // namespace tarvelin::platform::posix
