#include "iracing_encoder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "byte_writer.h"
#include "iracing_recording.h"

namespace tarvelin::emulator {

namespace {

constexpr double gravity = 9.80665;
constexpr std::int32_t layoutVersion = 2;
constexpr std::size_t descriptorsOffset = 48;
constexpr std::size_t descriptorSize = 16;
constexpr std::size_t maximumBuffers = 4;

std::size_t sizeOf(IRacingType type) {
    switch (type) {
        case IRacingType::character:
        case IRacingType::boolean: return 1;
        case IRacingType::integer:
        case IRacingType::bitField:
        case IRacingType::single: return 4;
        case IRacingType::dual: return 8;
    }
    return 4;
}

std::size_t roundUp16(std::size_t size) { return (size + 15) / 16 * 16; }

// A text field of fixed width, NUL-padded (a text that fills it has no NUL).
void putText(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t width, std::string_view text) {
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), width, std::uint8_t{0});
    std::memcpy(bytes.data() + offset, text.data(), std::min(width, text.size()));
}

}  // namespace

void IRacingLayout::add(std::string name, IRacingType type, std::string description, std::string unit) {
    variables.push_back({std::move(name), type, bufferLength, 1, false, std::move(description), std::move(unit)});
    bufferLength += static_cast<std::int32_t>(sizeOf(type));
}

const IRacingVariable* IRacingLayout::find(std::string_view name) const {
    for (const auto& variable : variables) {
        if (variable.name == name) return &variable;
    }
    return nullptr;
}

std::size_t IRacingLayout::sessionTextOffset() const {
    return static_cast<std::size_t>(tableOffset) + variables.size() * iRacingVariableHeaderSize;
}

std::size_t IRacingLayout::bufferOffset(std::size_t index) const {
    return roundUp16(sessionTextOffset() + sessionText.size() + 1) +
           index * roundUp16(static_cast<std::size_t>(bufferLength));
}

std::size_t IRacingLayout::blockSize() const { return bufferOffset(static_cast<std::size_t>(bufferCount)); }

void putValue(std::span<std::uint8_t> row, const IRacingLayout& layout, std::string_view name, double value) {
    const IRacingVariable* variable = layout.find(name);
    if (variable == nullptr || variable->offset < 0 ||
        static_cast<std::size_t>(variable->offset) + sizeOf(variable->type) > row.size()) {
        return;
    }
    const auto offset = static_cast<std::size_t>(variable->offset);
    switch (variable->type) {
        case IRacingType::character:
        case IRacingType::boolean: row[offset] = value != 0.0 ? 1 : 0; break;
        case IRacingType::integer:
        case IRacingType::bitField: putInt32(row, offset, static_cast<std::int32_t>(std::lround(value))); break;
        case IRacingType::single: putFloat(row, offset, value); break;
        case IRacingType::dual: putDouble(row, offset, value); break;
    }
}

bool IRacingBlockWriter::setLayout(const IRacingLayout& layout) {
    if (layout.bufferCount < 1 || static_cast<std::size_t>(layout.bufferCount) > maximumBuffers ||
        layout.blockSize() > block_.size()) {
        return false;
    }
    layout_ = layout;
    std::fill(block_.begin() + 8, block_.begin() + static_cast<std::ptrdiff_t>(iRacingHeaderSize), std::uint8_t{0});
    putInt32(block_, 0, layoutVersion);
    putInt32(block_, 8, layout.tickRate);
    putInt32(block_, 12, ++sessionUpdates_);
    putInt32(block_, 16, static_cast<std::int32_t>(layout.sessionText.size()));
    putInt32(block_, 20, static_cast<std::int32_t>(layout.sessionTextOffset()));
    putInt32(block_, 24, static_cast<std::int32_t>(layout.variables.size()));
    putInt32(block_, 28, layout.tableOffset);
    putInt32(block_, 32, layout.bufferCount);
    putInt32(block_, 36, layout.bufferLength);
    for (std::size_t i = 0; i < static_cast<std::size_t>(layout.bufferCount); ++i) {
        putInt32(block_, descriptorsOffset + i * descriptorSize + 4, static_cast<std::int32_t>(layout.bufferOffset(i)));
    }
    std::size_t entry = static_cast<std::size_t>(layout.tableOffset);
    for (const auto& variable : layout.variables) {
        std::fill_n(block_.begin() + static_cast<std::ptrdiff_t>(entry), iRacingVariableHeaderSize, std::uint8_t{0});
        putInt32(block_, entry, static_cast<std::int32_t>(variable.type));
        putInt32(block_, entry + 4, variable.offset);
        putInt32(block_, entry + 8, variable.count);
        block_[entry + 12] = variable.countAsTime ? 1 : 0;
        putText(block_, entry + 16, 32, variable.name);
        putText(block_, entry + 48, 64, variable.description);
        putText(block_, entry + 112, 32, variable.unit);
        entry += iRacingVariableHeaderSize;
    }
    putText(block_, layout.sessionTextOffset(), layout.sessionText.size() + 1, layout.sessionText);
    std::fill(block_.begin() + static_cast<std::ptrdiff_t>(layout.bufferOffset(0)),
              block_.begin() + static_cast<std::ptrdiff_t>(layout.blockSize()), std::uint8_t{0});
    lastBuffer_ = static_cast<std::size_t>(layout.bufferCount) - 1;
    return true;
}

void IRacingBlockWriter::setConnected(bool connected) { putInt32(block_, 4, connected ? 1 : 0); }

void IRacingBlockWriter::publish(std::span<const std::uint8_t> row) {
    writeBuffer((lastBuffer_ + 1) % static_cast<std::size_t>(layout_.bufferCount), row, tick_ + 1);
}

void IRacingBlockWriter::writeBuffer(std::size_t index, std::span<const std::uint8_t> row, std::int32_t tick) {
    const std::size_t length = std::min(row.size(), static_cast<std::size_t>(layout_.bufferLength));
    std::memcpy(block_.data() + layout_.bufferOffset(index), row.data(), length);
    stampTick(index, tick);
    lastBuffer_ = index;
    tick_ = tick;
}

void IRacingBlockWriter::stampTick(std::size_t index, std::int32_t tick) {
    // The tick goes on only once the buffer holds the update it stands for (x86-64 keeps stores
    // in program order; the compiler must not move them either).
    std::atomic_signal_fence(std::memory_order_seq_cst);
    putInt32(block_, descriptorsOffset + index * descriptorSize, tick);
}

IRacingLayout iRacingDriveLayout() {
    IRacingLayout layout;
    layout.add("SessionTime", IRacingType::dual, "Seconds since the session started", "s");
    layout.add("SessionTick", IRacingType::integer, "Update number within the session", "");
    layout.add("IsOnTrack", IRacingType::boolean, "The player's car is on track with the player in it", "");
    layout.add("IsReplayPlaying", IRacingType::boolean, "A replay is playing", "");
    layout.add("Speed", IRacingType::single, "Speed of the car", "m/s");
    layout.add("Yaw", IRacingType::single, "Yaw orientation", "rad");
    layout.add("Pitch", IRacingType::single, "Pitch orientation", "rad");
    layout.add("Roll", IRacingType::single, "Roll orientation", "rad");
    layout.add("VelocityX", IRacingType::single, "Velocity forward", "m/s");
    layout.add("VelocityY", IRacingType::single, "Velocity to the left", "m/s");
    layout.add("VelocityZ", IRacingType::single, "Velocity upward", "m/s");
    layout.add("YawRate", IRacingType::single, "Yaw rate", "rad/s");
    layout.add("PitchRate", IRacingType::single, "Pitch rate", "rad/s");
    layout.add("RollRate", IRacingType::single, "Roll rate", "rad/s");
    layout.add("VertAccel", IRacingType::single, "Vertical acceleration (including gravity)", "m/s^2");
    layout.add("LatAccel", IRacingType::single, "Lateral acceleration (including gravity)", "m/s^2");
    layout.add("LongAccel", IRacingType::single, "Longitudinal acceleration (including gravity)", "m/s^2");
    layout.sessionText =
        "---\nWeekendInfo:\n TrackName: tarvelin_test_drive\n TrackDisplayName: Tarvelin test drive\n"
        "DriverInfo:\n DriverCarIdx: 0\n...\n";
    return layout;
}

void encodeIRacingRow(std::span<std::uint8_t> row, const IRacingLayout& layout, const VehicleMotion& m,
                      GameStatus status, std::int32_t tick) {
    putValue(row, layout, "SessionTime", m.time);
    putValue(row, layout, "SessionTick", tick);
    putValue(row, layout, "IsOnTrack", status == GameStatus::live ? 1.0 : 0.0);
    putValue(row, layout, "IsReplayPlaying", status == GameStatus::inReplay ? 1.0 : 0.0);
    putValue(row, layout, "Speed", std::hypot(m.longitudinalSpeed, m.lateralSpeed, m.verticalSpeed));
    // The simulator's rotations turn the other way round from the engine's about each axis.
    putValue(row, layout, "Yaw", -m.yaw);
    putValue(row, layout, "Pitch", -m.pitch);
    putValue(row, layout, "Roll", -m.roll);
    putValue(row, layout, "VelocityX", m.longitudinalSpeed);
    putValue(row, layout, "VelocityY", -m.lateralSpeed);
    putValue(row, layout, "VelocityZ", m.verticalSpeed);
    putValue(row, layout, "YawRate", -m.yawRate);
    putValue(row, layout, "PitchRate", -m.pitchRate);
    putValue(row, layout, "RollRate", -m.rollRate);
    // What an accelerometer in the car reads: the motion's acceleration, and gravity's upward
    // reaction tilted with the car.
    putValue(row, layout, "VertAccel", m.verticalAccel + gravity * std::cos(m.pitch) * std::cos(m.roll));
    putValue(row, layout, "LatAccel", -(m.lateralAccel + gravity * std::cos(m.pitch) * std::sin(m.roll)));
    putValue(row, layout, "LongAccel", m.longitudinalAccel + gravity * std::sin(m.pitch));
}

IRacingFeed::IRacingFeed(const IRacingLayout& layout)
    : block_(iRacingBlockName, layout.blockSize()),
      writer_(block_.bytes()),
      row_(static_cast<std::size_t>(std::max(layout.bufferLength, 0))) {
    laidOut_ = block_.ready() && writer_.setLayout(layout);
    eventCreated_ = dataValid_.create(iRacingEventName);
}

bool IRacingFeed::ready() const { return laidOut_ && eventCreated_; }

bool IRacingFeed::publish(const VehicleMotion& motion, GameStatus status) {
    if (!ready()) return false;
    switch (status) {
        case GameStatus::inMenus:
        case GameStatus::notConnected:
            writer_.setConnected(false);
            break;
        case GameStatus::paused:
            writer_.setConnected(true);
            break;
        case GameStatus::live:
        case GameStatus::inReplay:
            fillRow(row_, motion, status, writer_.nextTick());
            writer_.publish(row_);
            writer_.setConnected(true);
            break;
    }
    return true;
}

namespace {

std::unique_ptr<GameFeed> openDrive(std::uint16_t) { return std::make_unique<IRacingDriveFeed>(); }

std::unique_ptr<GameFeed> openReplay(std::uint16_t) { return openIRacingReplay(defaultIRacingRecording()); }

}  // namespace

const GameEncoder iRacingEncoder{"iracing", "iRacing", 60.0, Transport::sharedMemory, 0, "iRacingSim64DX11.exe", openDrive};
const GameEncoder iRacingReplayEncoder{"iracing_replay", "iRacing", 60.0, Transport::sharedMemory, 0,
                                       "iRacingSim64DX11.exe", openReplay};

}  // namespace tarvelin::emulator
