#include "rfactor2_encoder.h"

#include <array>
#include <cmath>
#include <memory>

#include "block_feed.h"
#include "byte_writer.h"
#include "left_up_back_axes.h"

namespace tarvelin::emulator {

namespace {

constexpr std::uint32_t notReady = 1234567890;
constexpr std::uint32_t ready = 1;

using Matrix = std::array<double, 9>;

Matrix product(const Matrix& a, const Matrix& b) {
    Matrix c{};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            for (int k = 0; k < 3; ++k) c[3 * row + column] += a[3 * row + k] * b[3 * k + column];
        }
    }
    return c;
}

// The car's orientation in the world: turned by its heading about y, then by its roll about z,
// then by its pitch about x.
Matrix orientation(double yaw, double pitch, double roll) {
    const double ch = std::cos(-yaw), sh = std::sin(-yaw);
    const double cr = std::cos(roll), sr = std::sin(roll);
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    const Matrix aboutY{ch, 0, sh, 0, 1, 0, -sh, 0, ch};
    const Matrix aboutZ{cr, -sr, 0, sr, cr, 0, 0, 0, 1};
    const Matrix aboutX{1, 0, 0, 0, cp, -sp, 0, sp, cp};
    return product(product(aboutY, aboutZ), aboutX);
}

// The plugin tells a new update by its elapsed time.
std::unique_ptr<GameFeed> openFeed(std::uint16_t) {
    return std::make_unique<BlockFeed>(L"Local\\Tarvelin_rf2_data", 1888, writeRFactor2Block, BlockStamp{12, 8});
}

}  // namespace

void writeRFactor2Block(std::span<std::uint8_t> block, const VehicleMotion& m, GameStatus status) {
    putUnsigned(block, 0, status == GameStatus::notConnected ? notReady : ready, 4);
    if (status != GameStatus::live) return;
    putLeftUpBackVector(block, 184, m.lateralSpeed, m.verticalSpeed, m.longitudinalSpeed);
    putLeftUpBackVector(block, 208, m.lateralAccel, m.verticalAccel, m.longitudinalAccel);
    const Matrix matrix = orientation(m.yaw, m.pitch, m.roll);
    for (std::size_t i = 0; i < matrix.size(); ++i) putDouble(block, 232 + 8 * i, matrix[i]);
    putLeftUpBackRotation(block, 304, m.pitchRate, m.yawRate, m.rollRate);
    putLeftUpBackRotation(block, 328, m.pitchAccel, m.yawAccel, m.rollAccel);
    putDouble(block, 12, m.time);
}

const GameEncoder rFactor2Encoder{"rfactor2", "rFactor2", 90.0, Transport::sharedMemory, 0, "rFactor2.exe", openFeed};

}  // namespace tarvelin::emulator
