#include "rig_device.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "line_speed.h"

namespace rig_emulator {

namespace {

// Keeps the byte record of a long run bounded; tests clear it long before.
constexpr std::size_t recordLimit = 200000;

void writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd descriptor{fd, POLLOUT, 0};
                ::poll(&descriptor, 1, 50);
                continue;
            }
            return;
        }
        written += static_cast<std::size_t>(count);
    }
}

}  // namespace

RigDevice::RigDevice(std::filesystem::path link) : link_(std::move(link)) {}

RigDevice::~RigDevice() {
    detach();
}

bool RigDevice::attach() {
    detach();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return false;
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return false;
    }
    // A serial line passes bytes untouched; the terminal must not echo or translate them before
    // the program has set its own mode.
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    std::error_code ignored;
    std::filesystem::remove(link_, ignored);
    std::filesystem::create_symlink(name, link_, ignored);

    {
        std::lock_guard lock(mutex_);
        master_ = master;
        slave_ = slave;
        slavePath_ = name;
        bytes_.clear();
    }
    recorder_.restart(Clock::now());
    stop_.store(false);
    reader_ = std::thread(&RigDevice::run, this, master);
    return true;
}

void RigDevice::stopReader() {
    stop_.store(true);
    if (reader_.joinable()) reader_.join();
}

void RigDevice::detach() {
    stopReader();
    std::lock_guard lock(mutex_);
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = -1;
    slave_ = -1;
    slavePath_.clear();
    std::error_code ignored;
    std::filesystem::remove(link_, ignored);
}

bool RigDevice::attached() const {
    std::lock_guard lock(mutex_);
    return master_ >= 0;
}

std::string RigDevice::slavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

void RigDevice::setReply(Bytes reply, bool firstOfBurstOnly) {
    recorder_.setReply(std::move(reply), firstOfBurstOnly);
}

bool RigDevice::send(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (master_ < 0) return false;
    writeAll(master_, bytes);
    return true;
}

Counts RigDevice::counts() const {
    return recorder_.counts();
}

std::vector<Bytes> RigDevice::frames() const {
    return recorder_.frames();
}

std::vector<Bytes> RigDevice::messages() const {
    return recorder_.messages();
}

std::vector<ReceivedByte> RigDevice::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

ReceivedFrame RigDevice::lastFrame() const {
    return recorder_.lastFrame();
}

std::vector<ReceivedFrame> RigDevice::framesAfter(std::size_t number) const {
    return recorder_.framesAfter(number);
}

LineInfo RigDevice::line() const {
    std::lock_guard lock(mutex_);
    LineInfo info;
    termios settings{};
    if (slave_ < 0 || ::tcgetattr(slave_, &settings) != 0) return info;
    switch (settings.c_cflag & CSIZE) {
        case CS5: info.dataBits = 5; break;
        case CS6: info.dataBits = 6; break;
        case CS7: info.dataBits = 7; break;
        default: info.dataBits = 8; break;
    }
    info.parity = (settings.c_cflag & PARENB) == 0 ? 'N' : (settings.c_cflag & PARODD) != 0 ? 'O' : 'E';
    info.stopBits = (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
    info.baud = lineSpeed(slave_);
    return info;
}

void RigDevice::clear() {
    {
        std::lock_guard lock(mutex_);
        bytes_.clear();
    }
    recorder_.clear();
}

void RigDevice::keepRecords(bool keep) {
    {
        std::lock_guard lock(mutex_);
        keepBytes_ = keep;
    }
    recorder_.keepFrames(keep);
}

void RigDevice::run(int master) {
    std::uint8_t buffer[4096];
    std::vector<Bytes> answers;
    while (!stop_.load()) {
        pollfd descriptor{master, POLLIN, 0};
        if (::poll(&descriptor, 1, 20) <= 0) continue;
        const ssize_t count = ::read(master, buffer, sizeof buffer);
        if (count <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const auto now = Clock::now();
        const double milliseconds = recorder_.millisecondsSinceStart(now);
        {
            std::lock_guard lock(mutex_);
            for (ssize_t i = 0; i < count; ++i) {
                if (keepBytes_ && bytes_.size() < recordLimit) bytes_.push_back({buffer[i], milliseconds});
            }
        }
        answers.clear();
        recorder_.receive({buffer, static_cast<std::size_t>(count)}, now, answers);
        std::lock_guard lock(mutex_);
        for (const auto& answer : answers) {
            if (master_ >= 0) writeAll(master_, answer);
        }
    }
}

}  // namespace rig_emulator
