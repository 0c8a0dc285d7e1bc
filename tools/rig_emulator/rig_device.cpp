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

// Keeps the records of a long run bounded; tests clear them long before.
constexpr std::size_t recordLimit = 200000;

std::size_t frameLength(const Bytes& pending) {
    switch (pending[0]) {
        case 0xF9: return 8;
        case 0xF8: return 38;
        case 0xFB: return 78;
        case 0xFC: return 36;
        case 0xFA:
        case 0xFE: return pending.size() < 4 ? 0 : static_cast<std::size_t>(pending[2] | (pending[3] << 8)) + 6;
        default: return 0;
    }
}

bool isLead(std::uint8_t byte) {
    return byte == 0xF8 || byte == 0xF9 || byte == 0xFA || byte == 0xFB || byte == 0xFC || byte == 0xFE;
}

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
        attachedAt_ = std::chrono::steady_clock::now();
        reply_.clear();
        firstOfBurstOnly_ = false;
        lastAnswer_ = {};
        pending_.clear();
        counts_ = {};
        frames_.clear();
        messages_.clear();
        bytes_.clear();
        lastFrame_ = {};
        recentFrames_.clear();
        assemblies_.clear();
    }
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
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
    firstOfBurstOnly_ = firstOfBurstOnly;
}

bool RigDevice::send(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (master_ < 0) return false;
    writeAll(master_, bytes);
    return true;
}

Counts RigDevice::counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

std::vector<Bytes> RigDevice::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<Bytes> RigDevice::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<ReceivedByte> RigDevice::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

ReceivedFrame RigDevice::lastFrame() const {
    std::lock_guard lock(mutex_);
    return lastFrame_;
}

std::vector<ReceivedFrame> RigDevice::framesAfter(std::size_t number) const {
    std::lock_guard lock(mutex_);
    std::vector<ReceivedFrame> frames;
    for (const auto& frame : recentFrames_) {
        if (frame.number > number) frames.push_back(frame);
    }
    return frames;
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
    std::lock_guard lock(mutex_);
    counts_ = {};
    frames_.clear();
    messages_.clear();
    bytes_.clear();
    lastFrame_ = {};
    recentFrames_.clear();
}

void RigDevice::run(int master) {
    std::uint8_t buffer[4096];
    while (!stop_.load()) {
        pollfd descriptor{master, POLLIN, 0};
        if (::poll(&descriptor, 1, 20) <= 0) continue;
        const ssize_t count = ::read(master, buffer, sizeof buffer);
        if (count <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard lock(mutex_);
        const double milliseconds = std::chrono::duration<double, std::milli>(now - attachedAt_).count();
        for (ssize_t i = 0; i < count; ++i) {
            if (bytes_.size() < recordLimit) bytes_.push_back({buffer[i], milliseconds});
        }
        pending_.insert(pending_.end(), buffer, buffer + count);
        scan(now);
    }
}

void RigDevice::scan(std::chrono::steady_clock::time_point now) {
    while (pending_.size() >= 2) {
        if (!isLead(pending_[0]) || pending_[1] != pending_[0]) {
            ++counts_.strayBytes;
            pending_.erase(pending_.begin());
            continue;
        }
        const std::size_t length = frameLength(pending_);
        if (length == 0 || pending_.size() < length) return;
        const Bytes frame(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
        const bool checked = crc16({frame.data(), length - 2}) == (frame[length - 2] | (frame[length - 1] << 8));
        const bool unchecked = (frame[0] == 0xF9 || frame[0] == 0xF8) && frame[length - 2] == 0x0A && frame[length - 1] == 0x0D;
        if (!checked && !unchecked) {
            ++counts_.badFrames;
            pending_.erase(pending_.begin());
            continue;
        }
        ++counts_.goodFrames;
        if (frames_.size() < recordLimit) frames_.push_back(frame);
        lastFrame_.bytes = frame;
        lastFrame_.number = counts_.goodFrames;
        lastFrame_.arrival = now;
        lastFrame_.milliseconds = std::chrono::duration<double, std::milli>(now - attachedAt_).count();
        if (recentFrames_.size() == recentFrameCount) recentFrames_.pop_front();
        recentFrames_.push_back(lastFrame_);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
        handleFrame(frame);
    }
}

void RigDevice::handleFrame(const Bytes& frame) {
    if (frame[0] == 0xF9 && frame[2] == 0x01 && frame[3] == 0 && frame[4] == 0 && frame[5] == 0) {
        ++counts_.identificationRequests;
        const auto now = std::chrono::steady_clock::now();
        const bool answer = !reply_.empty() &&
                            (!firstOfBurstOnly_ || now - lastAnswer_ > std::chrono::milliseconds(100));
        if (answer && master_ >= 0) {
            lastAnswer_ = now;
            writeAll(master_, reply_);
        }
        return;
    }
    if (frame[0] != 0xFA || frame.size() < 14 || frame[4] != 0x00 || frame[5] != 0xF1) return;
    const std::uint16_t id = static_cast<std::uint16_t>(frame[6] | (frame[7] << 8));
    const std::uint16_t index = static_cast<std::uint16_t>(frame[8] | (frame[9] << 8));
    const std::uint16_t count = static_cast<std::uint16_t>(frame[10] | (frame[11] << 8));
    auto assembly = std::find_if(assemblies_.begin(), assemblies_.end(), [id](const Assembly& a) { return a.id == id; });
    if (assembly == assemblies_.end()) {
        assemblies_.push_back({id, count, std::vector<Bytes>(count), std::vector<bool>(count, false)});
        assembly = assemblies_.end() - 1;
    }
    if (index >= assembly->count) return;
    assembly->chunks[index].assign(frame.begin() + 12, frame.end() - 2);
    assembly->have[index] = true;
    if (std::find(assembly->have.begin(), assembly->have.end(), false) != assembly->have.end()) return;
    Bytes payload;
    for (const auto& chunk : assembly->chunks) payload.insert(payload.end(), chunk.begin(), chunk.end());
    Bytes message{0xFA, 0xFA, static_cast<std::uint8_t>(payload.size() & 0xFF), static_cast<std::uint8_t>(payload.size() >> 8)};
    message.insert(message.end(), payload.begin(), payload.end());
    message.push_back(0x0A);
    message.push_back(0x0D);
    messages_.push_back(std::move(message));
    assemblies_.erase(assembly);
}

}  // namespace rig_emulator
