#pragma once
// Small text helpers the console's file and request parsers share. ASCII only: profile files and
// HTTP headers are ASCII where these are used.

#include <cctype>
#include <string>
#include <string_view>

namespace tarvelin::console {

// `text` without the white space at either end.
inline std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// `text` in lower case.
inline std::string lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace tarvelin::console
