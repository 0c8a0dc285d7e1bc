#include "platform/serial_port.h"

#include <windows.h>
#include <setupapi.h>

#include <vector>

namespace tarvelin::platform {

const std::uint32_t serialErrorInvalidHandle = ERROR_INVALID_HANDLE;
const std::uint32_t serialErrorInsufficientBuffer = ERROR_INSUFFICIENT_BUFFER;

namespace {

// The COM port device interface class, {86E0D1E0-8089-11D0-9CE4-08003E301F73}.
constexpr GUID comPortInterfaceClass = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

// The size of the DCB as the communication calls expect it.
constexpr DWORD dcbLength = 28;

}  // namespace

SerialHandle invalidSerialHandle() {
    return INVALID_HANDLE_VALUE;
}

SerialHandle openSerialDevice(std::wstring_view path) {
    const std::wstring name(path);
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

SerialHandle openSerialDevice(std::string_view path) {
    const std::string name(path);
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool closeSerialDevice(SerialHandle handle) {
    return CloseHandle(handle) != 0;
}

bool configureLine(SerialHandle handle, const LineSettings& settings) {
    DCB dcb{};
    dcb.DCBlength = dcbLength;
    if (!GetCommState(handle, &dcb)) return false;
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.byteSize;
    dcb.Parity = static_cast<BYTE>(settings.parity);
    dcb.StopBits = static_cast<BYTE>(settings.stopBits);
    if (settings.disableHandshake) {
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
    }
    return SetCommState(handle, &dcb) != 0;
}

bool getCommTimeouts(SerialHandle handle, CommTimeouts& timeouts) {
    COMMTIMEOUTS values{};
    if (!GetCommTimeouts(handle, &values)) return false;
    timeouts.readInterval = values.ReadIntervalTimeout;
    timeouts.readTotalMultiplier = values.ReadTotalTimeoutMultiplier;
    timeouts.readTotalConstant = values.ReadTotalTimeoutConstant;
    timeouts.writeTotalMultiplier = values.WriteTotalTimeoutMultiplier;
    timeouts.writeTotalConstant = values.WriteTotalTimeoutConstant;
    return true;
}

bool setCommTimeouts(SerialHandle handle, const CommTimeouts& timeouts) {
    COMMTIMEOUTS values{};
    values.ReadIntervalTimeout = timeouts.readInterval;
    values.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    values.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    values.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    values.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    return SetCommTimeouts(handle, &values) != 0;
}

bool setupComm(SerialHandle handle, std::uint32_t inputQueue, std::uint32_t outputQueue) {
    return SetupComm(handle, inputQueue, outputQueue) != 0;
}

bool getCommModemStatus(SerialHandle handle) {
    DWORD status = 0;
    return GetCommModemStatus(handle, &status) != 0;
}

bool purgeReceive(SerialHandle handle) {
    return PurgeComm(handle, PURGE_RXCLEAR) != 0;
}

bool clearCommError(SerialHandle handle, std::uint32_t* bytesWaiting) {
    if (bytesWaiting == nullptr) return ClearCommError(handle, nullptr, nullptr) != 0;
    COMSTAT status{};
    if (!ClearCommError(handle, nullptr, &status)) return false;
    *bytesWaiting = status.cbInQue;
    return true;
}

bool readSerial(SerialHandle handle, void* buffer, std::uint32_t length, std::uint32_t& transferred) {
    DWORD count = 0;
    const BOOL result = ReadFile(handle, buffer, length, &count, nullptr);
    transferred = count;
    return result != 0;
}

bool writeSerial(SerialHandle handle, const void* data, std::uint32_t length, std::uint32_t& transferred) {
    DWORD count = 0;
    const BOOL result = WriteFile(handle, data, length, &count, nullptr);
    transferred = count;
    return result != 0;
}

bool commPortExists(std::wstring_view name) {
    const std::wstring port(name);
    COMMCONFIG config{};
    DWORD size = sizeof config;
    config.dwSize = sizeof config;
    return GetDefaultCommConfigW(port.c_str(), &config, &size) != 0;
}

std::uint32_t queryDosDeviceNames(wchar_t* buffer, std::uint32_t size) {
    return QueryDosDeviceW(nullptr, buffer, size);
}

bool dosDeviceExists(const std::string& name) {
    char target[256];
    return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

struct PortDeviceList::State {
    HDEVINFO devices = INVALID_HANDLE_VALUE;
    // The entry found by the last device() call, whose properties are read next.
    SP_DEVINFO_DATA current{};
    std::uint32_t currentIndex = 0xFFFFFFFFu;
};

PortDeviceList::PortDeviceList() : state_(new State) {
    state_->devices = SetupDiGetClassDevsA(&comPortInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

PortDeviceList::~PortDeviceList() {
    if (state_->devices != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(state_->devices);
    delete state_;
}

bool PortDeviceList::isOpen() const {
    return state_->devices != INVALID_HANDLE_VALUE;
}

PortDeviceList::Entry PortDeviceList::device(std::uint32_t index) {
    state_->current = SP_DEVINFO_DATA{};
    state_->current.cbSize = sizeof state_->current;
    if (SetupDiEnumDeviceInfo(state_->devices, index, &state_->current)) {
        state_->currentIndex = index;
        return Entry::present;
    }
    state_->currentIndex = 0xFFFFFFFFu;
    return GetLastError() == ERROR_NO_MORE_ITEMS ? Entry::noMoreItems : Entry::failed;
}

bool PortDeviceList::property(std::uint32_t index, Property which, std::size_t capacity, std::string& bytes) {
    if (index != state_->currentIndex && device(index) != Entry::present) return false;
    std::vector<BYTE> buffer(capacity);
    DWORD type = 0;
    DWORD required = 0;
    const DWORD property = which == Property::friendlyName ? SPDRP_FRIENDLYNAME : SPDRP_HARDWAREID;
    if (!SetupDiGetDeviceRegistryPropertyA(state_->devices, &state_->current, property, &type, buffer.data(),
                                           static_cast<DWORD>(buffer.size()), &required)) {
        return false;
    }
    const std::size_t length = required < buffer.size() ? required : buffer.size();
    bytes.assign(reinterpret_cast<const char*>(buffer.data()), length);
    return true;
}

}  // namespace tarvelin::platform
