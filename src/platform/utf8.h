#pragma once
// UTF-8 and the platform's wide strings (UTF-16 where wchar_t has 16 bits, as on Windows;
// UTF-32 elsewhere). Portable: the wide names of the platform contracts meet byte strings in
// the POSIX backends and in the wind controller's exported setup.

#include <string>
#include <string_view>

namespace tarvelin::platform {

// An unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view text);

// A sequence cut short by the end of the text keeps its bytes as they are.
std::wstring fromUtf8(std::string_view text);

}  // namespace tarvelin::platform
