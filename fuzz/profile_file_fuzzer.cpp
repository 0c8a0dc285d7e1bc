// Profile files are written by hand and passed around between rig owners; the console reads
// them for check, run and demo, and the tuning page rewrites them one setting at a time. Any
// byte string must parse without crash, and what the parser keeps must be what the engine can
// take: known slots and sections, finite numbers, limits in order. A file whose line endings
// are all one kind must come back from the page's document unchanged, and a setting the page
// writes must read back, through the document and through the parser alike.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host_console/profile_document.h"
#include "host_console/profile_file.h"

using namespace tarvelin::console;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool isSlot(int slot) { return slot >= 0 && slot < rigSlots; }

void checkParsed(const ProfileFile& file, const std::vector<ProfileError>& errors, int lines) {
    for (const auto* messages : {&errors, &file.warnings}) {
        int previous = 0;
        for (const auto& message : *messages) {
            check(message.line >= previous && message.line <= lines && !message.message.empty());
            previous = message.line;
        }
    }
    for (const auto& filter : file.filters) {
        check(isSlot(filter.slot) && (filter.profile == profileAir || filter.profile == profileGround));
        check(!filter.filter.empty() && filter.filter.find_first_of("#\n") == std::string::npos);
        check(filter.line >= 1 && filter.line <= lines && filter.column >= 1);
    }
    for (const auto& weight : file.beltMix) check(weight.index >= 0 && weight.index < beltMixWeights && std::isfinite(weight.weight));
    for (const auto* limits : {&file.inputLimits, &file.rigLimits}) {
        for (const auto& limit : *limits) {
            check(isSlot(limit.slot) && std::isfinite(limit.low) && std::isfinite(limit.high) && limit.low <= limit.high);
        }
    }
    for (const auto& rate : file.rateLimits) check(rate.axis >= 0 && rate.axis < 6 && std::isfinite(rate.unitsPerSecond) && rate.unitsPerSecond >= 0.0);
    if (file.parkMs) check(*file.parkMs >= 0.0 && *file.parkMs <= 60000.0);
    if (file.motionCancelFilter) check(std::isfinite(*file.motionCancelFilter) && *file.motionCancelFilter >= 1.0);
    if (file.motionCancelGain) check(std::isfinite(*file.motionCancelGain) && std::abs(*file.motionCancelGain) <= 100.0);
    if (file.fan) check(file.fan->baud > 0 && file.fan->intervalMs > 0);
    if (file.udp) check(file.udp->listenPort >= 1 && file.udp->listenPort <= 65535);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (const char c : text) lines += c == '\n' ? 1 : 0;

    std::vector<ProfileError> errors;
    const ProfileFile file = parseProfileFile(text, errors);
    checkParsed(file, errors, lines);

    ProfileDocument document(text);
    if (text.find('\r') == std::string_view::npos && (text.empty() || text.back() == '\n')) check(document.text() == text);

    static constexpr std::string_view written = "ABS(1)";
    document.set("air", "lateral", written, "set by the page");
    check(document.get("air", "0") == written);
    // A file the parser took whole takes the page's change whole: the slot now has that chain.
    if (errors.empty()) {
        std::vector<ProfileError> after;
        const ProfileFile changed = parseProfileFile(document.text(), after);
        check(after.empty());
        bool found = false;
        for (const auto& filter : changed.filters) {
            found |= filter.profile == profileAir && filter.slot == 0 && filter.filter == written;
        }
        check(found);
    }
    return 0;
}
