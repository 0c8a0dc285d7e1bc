#pragma once
// iRacing: the simulator publishes its telemetry in the block "Local\IRSDKMemMapFileName" and
// keeps the event "Local\IRSDKDataValidEvent" for programs that wait for its updates. The
// emulator creates the event but does not signal it: the engine only needs it to exist.
//
// The block starts with a header (version, status, tick rate, where the session text lies, the
// number of variables and where their headers lie, the number and length of the data buffers,
// and one descriptor per buffer: its tick count and offset), then the variable headers (144
// bytes each: type, offset within a buffer, count, count-as-time flag, name, description, unit),
// the session text and the data buffers. The simulator writes each update into the next buffer
// in turn and then stamps it with the next tick count. Status bit 0 is set while a session runs.
//
// Two ways of playing it: the drive script, encoded as the simulator encodes its car's motion,
// and the replay of a real telemetry recording (.ibt), whose header, variable headers and rows
// have the live block's layout.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "block_feed.h"
#include "game_encoder.h"
#include "platform/named_event.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

inline constexpr const wchar_t* iRacingBlockName = L"Local\\IRSDKMemMapFileName";
inline constexpr const wchar_t* iRacingEventName = L"Local\\IRSDKDataValidEvent";
inline constexpr std::size_t iRacingHeaderSize = 112;
inline constexpr std::size_t iRacingVariableHeaderSize = 144;

// A variable's type, as its header gives it.
enum class IRacingType : std::int32_t { character, boolean, integer, bitField, single, dual };

struct IRacingVariable {
    std::string name;
    IRacingType type = IRacingType::single;
    std::int32_t offset = 0;  // of its value within a buffer
    std::int32_t count = 1;
    bool countAsTime = false;
    std::string description;
    std::string unit;
};

// Everything the block holds besides the buffers' contents.
struct IRacingLayout {
    std::vector<IRacingVariable> variables;
    std::string sessionText;
    std::int32_t tickRate = 60;
    std::int32_t bufferCount = 3;
    std::int32_t bufferLength = 0;
    // Where the variable headers start; the session text and the buffers follow them.
    std::int32_t tableOffset = static_cast<std::int32_t>(iRacingHeaderSize);

    // Appends a variable at the end of the buffer, as the simulator packs them (no alignment).
    void add(std::string name, IRacingType type, std::string description, std::string unit);
    const IRacingVariable* find(std::string_view name) const;
    // Where the session text and buffer `index` lie, and the bytes the whole block needs.
    std::size_t sessionTextOffset() const;
    std::size_t bufferOffset(std::size_t index) const;
    std::size_t blockSize() const;
};

// Writes `value` into a buffer row as the variable's type holds it. A name the layout does not
// list, or a variable that does not fit the row, is skipped.
void putValue(std::span<std::uint8_t> row, const IRacingLayout& layout, std::string_view name, double value);

// Writes an iRacing block in place, as the simulator does.
class IRacingBlockWriter {
public:
    explicit IRacingBlockWriter(std::span<std::uint8_t> block) : block_(block) {}

    // Writes the header, the variable headers and the session text, and clears the buffers'
    // descriptors. False (nothing written) when the layout does not fit the block.
    bool setLayout(const IRacingLayout& layout);
    void setConnected(bool connected);

    // The next update: `row` into the next buffer in turn, then the next tick count on it.
    void publish(std::span<const std::uint8_t> row);
    // `row` into buffer `index`, then `tick` on it.
    void writeBuffer(std::size_t index, std::span<const std::uint8_t> row, std::int32_t tick);
    // Changes a buffer's tick count alone.
    void stampTick(std::size_t index, std::int32_t tick);

    std::int32_t nextTick() const { return tick_ + 1; }
    const IRacingLayout& layout() const { return layout_; }

private:
    std::span<std::uint8_t> block_;
    IRacingLayout layout_;
    std::size_t lastBuffer_ = 0;
    std::int32_t tick_ = 0;
    std::int32_t sessionUpdates_ = 0;
};

// The variables the drive script fills, laid out as the simulator lays out its own.
IRacingLayout iRacingDriveLayout();

// One update of the simulator for a moment of the drive, in its own axes (x forward, y left,
// z up; yaw counter-clockwise, roll lifting the left side, pitch lowering the nose) and with
// gravity in the accelerations, as an accelerometer measures them.
void encodeIRacingRow(std::span<std::uint8_t> row, const IRacingLayout& layout, const VehicleMotion& motion,
                      GameStatus status, std::int32_t tick);

// The simulator's channel: the block and the event, with a layout and a source of rows.
// In menus or without a session the status bit is clear; paused, the buffers keep their last
// update; live or in a replay, every frame is a new update.
class IRacingFeed : public GameFeed {
public:
    explicit IRacingFeed(const IRacingLayout& layout);
    bool ready() const override;
    bool publish(const VehicleMotion& motion, GameStatus status) override;
    std::string destination() const override { return block_.destination(); }

protected:
    const IRacingLayout& layout() const { return writer_.layout(); }
    // Fills one update's row (one buffer length) for this moment.
    virtual void fillRow(std::span<std::uint8_t> row, const VehicleMotion& motion, GameStatus status,
                         std::int32_t tick) = 0;

private:
    SharedBlock block_;
    platform::NamedEvent dataValid_;
    IRacingBlockWriter writer_;
    std::vector<std::uint8_t> row_;
    bool laidOut_ = false;
    bool eventCreated_ = false;
};

// The drive script, as the simulator publishes its car's motion.
class IRacingDriveFeed : public IRacingFeed {
public:
    IRacingDriveFeed() : IRacingFeed(iRacingDriveLayout()) {}

private:
    void fillRow(std::span<std::uint8_t> row, const VehicleMotion& motion, GameStatus status,
                 std::int32_t tick) override {
        encodeIRacingRow(row, layout(), motion, status, tick);
    }
};

extern const GameEncoder iRacingEncoder;
// Plays the recording beside the program, one row per frame, from the start again at its end.
extern const GameEncoder iRacingReplayEncoder;

}  // namespace tarvelin::emulator
