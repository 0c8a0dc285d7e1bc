#pragma once
// A profile file as its owner wrote it, changed one setting at a time: the tuning page edits a
// slot's filter string, a limit or a belt-mix weight, and the file keeps every other line,
// comment and section as it was. A changed setting keeps its line and its comment; a new one
// goes after the last setting of its section, or into a new section at the end.

#include <string>
#include <string_view>
#include <vector>

namespace tarvelin::console {

class ProfileDocument {
public:
    ProfileDocument() = default;
    explicit ProfileDocument(std::string_view text);

    // Sets `key = value` in [section] ("air", "ground", "limits", ...). Keys are compared as the
    // file format reads them: "lateral" and "0" name the same slot, "belt_mix pitch" and
    // "belt_mix 5" the same weight, "rig roll" and "rig 4" the same limit; case and spacing do
    // not matter. `comment`, when given, replaces the line's comment.
    void set(std::string_view section, std::string_view key, std::string_view value, std::string_view comment = {});

    // The value of `key` in [section], empty when the file does not set it.
    std::string get(std::string_view section, std::string_view key) const;

    std::string text() const;

private:
    struct Line {
        std::string text;
        std::string section;  // lower case, without brackets; empty before the first header
        std::string key;      // the setting's key as compared (see set); empty for other lines
    };
    static std::string comparedKey(std::string_view section, std::string_view key);
    void classify(Line& line, std::string& section) const;

    std::vector<Line> lines_;
    bool crlf_ = false;
};

}  // namespace tarvelin::console
