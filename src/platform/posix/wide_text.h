#pragma once
// Conversions between the wide names of the platform contracts and POSIX byte strings (UTF-8).

#include <string>
#include <string_view>

namespace tarvelin::platform::posix {

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// The POSIX shared-memory name of a Windows object name: a leading "Local\" is dropped and the
// rest kept, behind the slash that shm_open and sem_open expect.
std::string objectName(std::wstring_view windowsName);

}  // namespace tarvelin::platform::posix
