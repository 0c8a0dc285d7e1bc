#include "iracing_recording.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/dynamic_library.h"

namespace tarvelin::emulator {

namespace {

constexpr std::size_t diskHeaderSize = 32;
constexpr std::size_t rowCountOffset = iRacingHeaderSize + 28;
constexpr std::size_t firstRowOffset = 52;  // the first buffer descriptor's offset field

std::int32_t intAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(value);
}

std::string textAt(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t width) {
    const char* text = reinterpret_cast<const char*>(bytes.data() + offset);
    return {text, static_cast<std::size_t>(std::find(text, text + width, '\0') - text)};
}

// Whether `length` bytes from `offset` (both as the file gives them) lie inside the file.
bool inside(std::int64_t offset, std::int64_t length, std::size_t size) {
    return offset >= 0 && length >= 0 && static_cast<std::uint64_t>(offset + length) <= size;
}

class IRacingReplayFeed : public IRacingFeed {
public:
    explicit IRacingReplayFeed(std::unique_ptr<IRacingRecording> recording)
        : IRacingFeed(recording->layout()), recording_(std::move(recording)) {}

private:
    void fillRow(std::span<std::uint8_t> row, const VehicleMotion&, GameStatus, std::int32_t) override {
        const auto recorded = recording_->row(next_);
        std::copy(recorded.begin(), recorded.end(), row.begin());
        next_ = (next_ + 1) % recording_->rowCount();
    }

    std::unique_ptr<IRacingRecording> recording_;
    std::size_t next_ = 0;
};

class UnplayableRecording : public GameFeed {
public:
    explicit UnplayableRecording(std::string description) : description_(std::move(description)) {}
    bool ready() const override { return false; }
    bool publish(const VehicleMotion&, GameStatus) override { return false; }
    std::string destination() const override { return description_; }

private:
    std::string description_;
};

}  // namespace

std::unique_ptr<IRacingRecording> IRacingRecording::load(const std::filesystem::path& file, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot be opened";
        return nullptr;
    }
    auto recording = std::make_unique<IRacingRecording>();
    auto& bytes = recording->bytes_;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes.size() < iRacingHeaderSize + diskHeaderSize) {
        error = "is too short for a telemetry recording";
        return nullptr;
    }
    const std::int32_t variableCount = intAt(bytes, 24);
    const std::int32_t tableOffset = intAt(bytes, 28);
    const std::int32_t rowLength = intAt(bytes, 36);
    const std::int32_t firstRow = intAt(bytes, firstRowOffset);
    const std::int32_t textLength = intAt(bytes, 16);
    const std::int32_t textOffset = intAt(bytes, 20);
    if (variableCount < 1 ||
        !inside(tableOffset, std::int64_t{variableCount} * std::int64_t{iRacingVariableHeaderSize}, bytes.size()) ||
        rowLength < 1 || !inside(firstRow, rowLength, bytes.size())) {
        error = "has a header that places no variables or rows within the file";
        return nullptr;
    }

    auto& layout = recording->layout_;
    for (std::int32_t i = 0; i < variableCount; ++i) {
        const std::size_t entry = static_cast<std::size_t>(tableOffset) + static_cast<std::size_t>(i) * iRacingVariableHeaderSize;
        layout.variables.push_back({textAt(bytes, entry + 16, 32), static_cast<IRacingType>(intAt(bytes, entry)),
                                    intAt(bytes, entry + 4), intAt(bytes, entry + 8), bytes[entry + 12] != 0,
                                    textAt(bytes, entry + 48, 64), textAt(bytes, entry + 112, 32)});
    }
    if (inside(textOffset, textLength, bytes.size())) {
        layout.sessionText = textAt(bytes, static_cast<std::size_t>(textOffset), static_cast<std::size_t>(textLength));
    }
    layout.tickRate = intAt(bytes, 8);
    layout.bufferLength = rowLength;

    // The disk header counts the rows; a file cut short holds fewer.
    const std::size_t rowsInFile = (bytes.size() - static_cast<std::size_t>(firstRow)) / static_cast<std::size_t>(rowLength);
    const std::int32_t counted = intAt(bytes, rowCountOffset);
    recording->firstRow_ = static_cast<std::size_t>(firstRow);
    recording->rowCount_ = counted > 0 ? std::min(rowsInFile, static_cast<std::size_t>(counted)) : rowsInFile;
    return recording;
}

std::span<const std::uint8_t> IRacingRecording::row(std::size_t index) const {
    const auto length = static_cast<std::size_t>(layout_.bufferLength);
    return {bytes_.data() + firstRow_ + index * length, length};
}

std::filesystem::path defaultIRacingRecording() { return platform::executableFolder() / "iracing_amg.ibt"; }

std::unique_ptr<GameFeed> openIRacingReplay(const std::filesystem::path& file) {
    std::string error;
    auto recording = IRacingRecording::load(file, error);
    if (!recording) return std::make_unique<UnplayableRecording>("the recording " + file.string() + ", which " + error);
    return std::make_unique<IRacingReplayFeed>(std::move(recording));
}

}  // namespace tarvelin::emulator
