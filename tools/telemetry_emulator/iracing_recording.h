#pragma once
// A telemetry recording of iRacing (.ibt), the simulator's own file of a session, played back as
// the live block. The file starts with the live block's header; a 32-byte disk header follows it
// (start date, start and end time, lap count, row count), then, where the header says, the
// variable headers, the session text, and from the first buffer's offset the rows, one buffer
// length each.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "game_feed.h"
#include "iracing_encoder.h"

namespace tarvelin::emulator {

class IRacingRecording {
public:
    // Reads the whole file; null when it is no recording the replay can play, with the reason in
    // `error` ("cannot be opened", ...: what follows "the file").
    static std::unique_ptr<IRacingRecording> load(const std::filesystem::path& file, std::string& error);

    // The recording's variables and session text, laid out for a live block of three buffers.
    const IRacingLayout& layout() const { return layout_; }
    std::size_t rowCount() const { return rowCount_; }
    std::span<const std::uint8_t> row(std::size_t index) const;

private:
    std::vector<std::uint8_t> bytes_;
    IRacingLayout layout_;
    std::size_t firstRow_ = 0;
    std::size_t rowCount_ = 0;
};

// The recording that the replay encoder plays: the one beside the program.
std::filesystem::path defaultIRacingRecording();

// The simulator's channel replaying `file`, one row per frame and from the first row again after
// the last, with rising tick counts. A file that cannot be played gives a feed that is not ready
// and names the file and the reason as its destination.
std::unique_ptr<GameFeed> openIRacingReplay(const std::filesystem::path& file);

}  // namespace tarvelin::emulator
