#pragma once
// Windows object names as POSIX names.

#include <string>
#include <string_view>

#include "platform/utf8.h"

namespace tarvelin::platform::posix {

// The POSIX shared-memory name of a Windows object name: a leading "Local\" is dropped and the
// rest kept, behind the slash that shm_open and sem_open expect.
std::string objectName(std::wstring_view windowsName);

}  // namespace tarvelin::platform::posix
