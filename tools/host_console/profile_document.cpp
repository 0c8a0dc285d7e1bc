#include "host_console/profile_document.h"

#include <cctype>

#include "host_console/profile_file.h"
#include "host_console/text.h"

namespace tarvelin::console {

namespace {

// The words of a key, lower case, one space apart.
std::string words(std::string_view text) {
    std::string out;
    for (const char c : lower(trim(text))) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

ProfileDocument::ProfileDocument(std::string_view text) {
    crlf_ = text.find("\r\n") != std::string_view::npos;
    std::string section;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines_.push_back({std::string(line), {}, {}});
        classify(lines_.back(), section);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

std::string ProfileDocument::comparedKey(std::string_view section, std::string_view key) {
    const std::string name = words(key);
    const auto space = name.find(' ');
    const std::string first = name.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : name.substr(space + 1);
    if (section == "air" || section == "ground") {
        if (first == "belt_mix") return "belt_mix " + std::to_string(beltMixIndex(rest));
        const int slot = slotFromName(name);
        return slot >= 0 ? std::to_string(slot) : name;
    }
    if (section == "limits" && !rest.empty()) {
        const int slot = slotFromName(rest);
        return first + " " + (slot >= 0 ? std::to_string(slot) : rest);
    }
    return name;
}

void ProfileDocument::classify(Line& line, std::string& section) const {
    std::string_view text = line.text;
    if (const auto hash = text.find('#'); hash != std::string_view::npos) text = text.substr(0, hash);
    text = trim(text);
    if (!text.empty() && text.front() == '[' && text.back() == ']') {
        section = words(text.substr(1, text.size() - 2));
        line.section = section;
        return;
    }
    line.section = section;
    const auto equals = text.find('=');
    if (equals != std::string_view::npos) line.key = comparedKey(section, text.substr(0, equals));
}

void ProfileDocument::set(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view comment) {
    const std::string wantedSection = words(section);
    const std::string wanted = comparedKey(wantedSection, key);
    for (auto& line : lines_) {
        if (line.section != wantedSection || line.key != wanted) continue;
        // The key as the owner wrote it stays, and so does the comment unless a new one is given.
        const auto equals = line.text.find('=');
        const auto hash = line.text.find('#', equals);
        std::string oldComment = hash == std::string::npos ? std::string() : line.text.substr(hash);
        std::string text = line.text.substr(0, equals + 1) + " " + std::string(value);
        if (!comment.empty()) oldComment = "# " + std::string(comment);
        if (!oldComment.empty()) text += "   " + oldComment;
        line.text = std::move(text);
        return;
    }

    std::string text = std::string(key) + " = " + std::string(value);
    if (!comment.empty()) text += "   # " + std::string(comment);
    std::size_t after = lines_.size();  // the last setting of the section's last block
    bool haveSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].section != wantedSection) continue;
        haveSection = true;
        const std::string_view stripped = trim(lines_[i].text);
        if (!lines_[i].key.empty() || (!stripped.empty() && stripped.front() == '[')) after = i;
    }
    if (!haveSection) {
        if (!lines_.empty() && !trim(lines_.back().text).empty()) lines_.push_back({"", lines_.back().section, ""});
        lines_.push_back({"[" + wantedSection + "]", wantedSection, ""});
        after = lines_.size() - 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after) + 1, Line{text, wantedSection, wanted});
}

std::string ProfileDocument::get(std::string_view section, std::string_view key) const {
    const std::string wantedSection = words(section);
    const std::string wanted = comparedKey(wantedSection, key);
    for (const auto& line : lines_) {
        if (line.section != wantedSection || line.key != wanted) continue;
        std::string_view text = line.text;
        if (const auto hash = text.find('#'); hash != std::string_view::npos) text = text.substr(0, hash);
        return std::string(trim(text.substr(text.find('=') + 1)));
    }
    return {};
}

std::string ProfileDocument::text() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line.text;
        out += crlf_ ? "\r\n" : "\n";
    }
    return out;
}

}  // namespace tarvelin::console
