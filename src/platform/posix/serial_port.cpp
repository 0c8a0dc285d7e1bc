#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "platform/posix/com_ports.h"
#include "platform/posix/serial_line_speed.h"
#include "platform/posix/object_name.h"

namespace tarvelin::platform {

const std::uint32_t serialErrorInvalidHandle = EBADF;
const std::uint32_t serialErrorInsufficientBuffer = ENOBUFS;

namespace {

// A Windows handle carries its COMMTIMEOUTS in the driver; here the handle is a record that
// keeps them beside the descriptor.
struct PortRecord {
    int fd = -1;
    CommTimeouts timeouts;
};

PortRecord* recordOf(SerialHandle handle) {
    if (handle == nullptr || handle == invalidSerialHandle()) {
        errno = EBADF;
        return nullptr;
    }
    return static_cast<PortRecord*>(handle);
}

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t maxDword = std::numeric_limits<std::uint32_t>::max();

// Milliseconds left until `deadline`, for poll(): -1 waits without end.
int millisecondsUntil(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, std::numeric_limits<int>::max()));
}

std::optional<Clock::time_point> totalDeadline(std::uint32_t multiplier, std::uint32_t constant, std::uint32_t length) {
    if (multiplier == 0 && constant == 0) return std::nullopt;
    const auto total = std::uint64_t{multiplier} * length + constant;
    return Clock::now() + std::chrono::milliseconds(total);
}

bool hungUp(int fd) {
    pollfd descriptor{fd, POLLIN, 0};
    return ::poll(&descriptor, 1, 0) > 0 && (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 &&
           (descriptor.revents & POLLIN) == 0;
}

}  // namespace

SerialHandle invalidSerialHandle() {
    return reinterpret_cast<SerialHandle>(static_cast<std::intptr_t>(-1));
}

SerialHandle openSerialDevice(std::string_view path) {
    constexpr std::string_view devicePrefix = "\\\\.\\";
    const auto number = path.starts_with(devicePrefix) ? posix::parseComName(path.substr(devicePrefix.size()))
                                                       : std::nullopt;
    const auto device = number ? posix::comDevicePath(*number) : std::filesystem::path{};
    if (device.empty()) {
        errno = ENOENT;
        return invalidSerialHandle();
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return invalidSerialHandle();
    // Windows opens a COM port unshared; exclusive mode makes a second open fail the same way
    // (for unprivileged processes).
    ::ioctl(fd, TIOCEXCL);
    return new PortRecord{fd, {}};
}

SerialHandle openSerialDevice(std::wstring_view path) {
    return openSerialDevice(toUtf8(path));
}

bool closeSerialDevice(SerialHandle handle) {
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    ::ioctl(record->fd, TIOCNXCL);
    const int result = ::close(record->fd);
    delete record;
    return result == 0;
}

bool configureLine(SerialHandle handle, const LineSettings& settings) {
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    termios line{};
    if (::tcgetattr(record->fd, &line) != 0) return false;

    tcflag_t size = 0;
    switch (settings.byteSize) {
        case 5: size = CS5; break;
        case 6: size = CS6; break;
        case 7: size = CS7; break;
        case 8: size = CS8; break;
        default: errno = EINVAL; return false;
    }
    // A Windows port moves bytes untouched; a terminal starts in cooked mode (echo, line
    // editing, newline translation), so raw mode is set every time rather than kept as read.
    ::cfmakeraw(&line);
    line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    line.c_cflag |= size | CLOCAL | CREAD;
    if (settings.parity != Parity::none) line.c_cflag |= PARENB;
    if (settings.parity == Parity::odd) line.c_cflag |= PARODD;
    if (settings.stopBits == StopBits::two) line.c_cflag |= CSTOPB;
    if (settings.disableHandshake) {
        line.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    }
    // Reads never block in the driver: the time-outs are kept by readSerial.
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    if (::tcsetattr(record->fd, TCSANOW, &line) != 0) return false;
    return posix::setLineSpeed(record->fd, settings.baudRate);
}

bool getCommTimeouts(SerialHandle handle, CommTimeouts& timeouts) {
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    timeouts = record->timeouts;
    return true;
}

bool setCommTimeouts(SerialHandle handle, const CommTimeouts& timeouts) {
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    record->timeouts = timeouts;
    return true;
}

bool setupComm(SerialHandle handle, std::uint32_t, std::uint32_t) {
    // The kernel's tty queues have a fixed size; there is nothing to ask for.
    return recordOf(handle) != nullptr;
}

bool getCommModemStatus(SerialHandle handle) {
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    int status = 0;
    return ::ioctl(record->fd, TIOCMGET, &status) == 0;
}

bool purgeReceive(SerialHandle handle) {
    PortRecord* record = recordOf(handle);
    return record != nullptr && ::tcflush(record->fd, TCIFLUSH) == 0;
}

bool clearCommError(SerialHandle handle, std::uint32_t* bytesWaiting) {
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    int waiting = 0;
    if (::ioctl(record->fd, FIONREAD, &waiting) != 0) return false;
    // A device that is gone (a USB adapter pulled, the far side of a pty closed) makes Windows
    // fail this call; a terminal only reports a hang-up, so it is turned into that failure.
    if (waiting == 0 && hungUp(record->fd)) {
        errno = EIO;
        return false;
    }
    if (bytesWaiting != nullptr) *bytesWaiting = static_cast<std::uint32_t>(waiting);
    return true;
}

bool readSerial(SerialHandle handle, void* buffer, std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    const CommTimeouts& timeouts = record->timeouts;
    // ReadFile's rules: MAXDWORD interval with no total time-out returns what is there at once;
    // otherwise the total time-out bounds the call and the interval time-out ends it once bytes
    // have come and the line then stays quiet that long.
    const bool immediate = timeouts.readInterval == maxDword && timeouts.readTotalMultiplier == 0 &&
                           timeouts.readTotalConstant == 0;
    const auto deadline = totalDeadline(timeouts.readTotalMultiplier, timeouts.readTotalConstant, length);
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (transferred < length) {
        int wait = immediate ? 0 : millisecondsUntil(deadline);
        if (!immediate && transferred > 0 && timeouts.readInterval != 0 && timeouts.readInterval != maxDword) {
            const int interval = static_cast<int>(std::min<std::uint32_t>(timeouts.readInterval, 1u << 30));
            wait = wait < 0 ? interval : std::min(wait, interval);
        }
        pollfd descriptor{record->fd, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (ready == 0) break;
        const ssize_t count = ::read(record->fd, bytes + transferred, length - transferred);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        if (count == 0) {
            errno = EIO;
            return false;
        }
        transferred += static_cast<std::uint32_t>(count);
    }
    return true;
}

bool writeSerial(SerialHandle handle, const void* data, std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    PortRecord* record = recordOf(handle);
    if (record == nullptr) return false;
    const auto deadline =
        totalDeadline(record->timeouts.writeTotalMultiplier, record->timeouts.writeTotalConstant, length);
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (transferred < length) {
        pollfd descriptor{record->fd, POLLOUT, 0};
        const int ready = ::poll(&descriptor, 1, millisecondsUntil(deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        // Like a Windows write time-out: the call succeeds with the count written so far.
        if (ready == 0) break;
        const ssize_t count = ::write(record->fd, bytes + transferred, length - transferred);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        transferred += static_cast<std::uint32_t>(count);
    }
    return true;
}

bool commPortExists(std::wstring_view name) {
    const auto number = posix::parseComName(toUtf8(name));
    if (number) {
        const auto ports = posix::existingComPorts();
        if (std::find(ports.begin(), ports.end(), *number) != ports.end()) return true;
    }
    errno = ENOENT;
    return false;
}

std::uint32_t queryDosDeviceNames(wchar_t* buffer, std::uint32_t size) {
    std::wstring list;
    for (const unsigned number : posix::existingComPorts()) {
        list += L"COM" + std::to_wstring(number);
        list += L'\0';
    }
    list += L'\0';
    if (list.size() > size) {
        errno = ENOBUFS;
        return 0;
    }
    std::copy(list.begin(), list.end(), buffer);
    return static_cast<std::uint32_t>(list.size());
}

bool dosDeviceExists(const std::string& name) {
    const auto number = posix::parseComName(name);
    if (number) {
        const auto ports = posix::existingComPorts();
        if (std::find(ports.begin(), ports.end(), *number) != ports.end()) return true;
    }
    errno = ENOENT;
    return false;
}

// The device list holds, per existing COM port, the two properties SetupAPI would report: a
// friendly name ending in "(COMn)" and the hardware ids built from the USB ids in sysfs.
struct PortDeviceList::State {
    struct Device {
        std::string friendlyName;
        std::string hardwareIds;
    };
    std::vector<Device> devices;
};

PortDeviceList::PortDeviceList() : state_(new State) {
    for (const unsigned number : posix::existingComPorts()) {
        State::Device device;
        const std::string port = " (COM" + std::to_string(number) + ")";
        if (const auto ids = posix::usbIdsOf(posix::comDevicePath(number))) {
            char id[32];
            std::snprintf(id, sizeof id, "USB\\VID_%04X&PID_%04X", ids->vendor, ids->product);
            if (!ids->revision.empty()) {
                device.hardwareIds += std::string(id) + "&REV_" + ids->revision;
                device.hardwareIds += '\0';
            }
            device.hardwareIds += id;
            device.hardwareIds += '\0';
            device.friendlyName = (ids->productName.empty() ? "USB Serial Device" : ids->productName) + port;
        } else {
            device.friendlyName = "Communications Port" + port;
        }
        device.hardwareIds += '\0';
        state_->devices.push_back(std::move(device));
    }
}

PortDeviceList::~PortDeviceList() {
    delete state_;
}

bool PortDeviceList::isOpen() const {
    return state_ != nullptr;
}

PortDeviceList::Entry PortDeviceList::device(std::uint32_t index) {
    return index < state_->devices.size() ? Entry::present : Entry::noMoreItems;
}

bool PortDeviceList::property(std::uint32_t index, Property which, std::size_t capacity, std::string& bytes) {
    if (index >= state_->devices.size()) {
        errno = ENOENT;
        return false;
    }
    const auto& device = state_->devices[index];
    std::string value = which == Property::friendlyName ? device.friendlyName + '\0' : device.hardwareIds;
    if (value.size() > capacity) {
        errno = ENOBUFS;
        return false;
    }
    bytes = std::move(value);
    return true;
}

}  // namespace tarvelin::platform
