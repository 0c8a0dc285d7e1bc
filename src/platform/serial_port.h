#pragma once
// Serial ports: what each platform must provide.
//
// The contract is the handful of Win32 communication calls the rig link and the fan controller
// make, each with the same meaning and failure rule: a call that fails returns false (or an
// invalid handle, or 0) and leaves the reason in the thread's last system error
// (system_error.h). Nothing here locks or validates; the callers do.
//
// Windows: CreateFile on "\\.\COMn", the DCB and COMMTIMEOUTS calls, QueryDosDevice and
// SetupAPI. POSIX: a COM name is resolved to a device file (see posix/com_ports.h), lines are
// set through termios in raw mode, and ReadFile/WriteFile time-outs are kept per handle and
// honoured with poll().

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelin::platform {

using SerialHandle = void*;
// INVALID_HANDLE_VALUE: the value of a closed port.
SerialHandle invalidSerialHandle();

// The last-error code that stands for a handle that is no longer (or not yet) open.
extern const std::uint32_t serialErrorInvalidHandle;

// Opens a port for reading and writing, unshared, only if it exists (CreateFileW/CreateFileA
// with OPEN_EXISTING). `path` is a device path such as "\\.\COM5".
SerialHandle openSerialDevice(std::wstring_view path);
SerialHandle openSerialDevice(std::string_view path);
bool closeSerialDevice(SerialHandle handle);

enum class Parity : std::uint8_t { none = 0, odd = 1, even = 2 };
enum class StopBits : std::uint8_t { one = 0, two = 2 };

struct LineSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 8;
    Parity parity = Parity::none;
    StopBits stopBits = StopBits::one;
    // Clears every hardware and software handshake (CTS, DSR, DSR sensitivity, XON/XOFF both
    // ways); otherwise the handshake is kept as the port had it.
    bool disableHandshake = false;
};

// Reads the port's line settings, changes the fields of `settings` and writes them back
// (GetCommState with the DCB length 28, SetCommState); every other setting keeps its value.
bool configureLine(SerialHandle handle, const LineSettings& settings);

// The five time-outs of ReadFile and WriteFile, in milliseconds (COMMTIMEOUTS).
struct CommTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};
bool getCommTimeouts(SerialHandle handle, CommTimeouts& timeouts);
bool setCommTimeouts(SerialHandle handle, const CommTimeouts& timeouts);

// SetupComm: the driver's queue sizes.
bool setupComm(SerialHandle handle, std::uint32_t inputQueue, std::uint32_t outputQueue);
// GetCommModemStatus; the status itself is of no interest, only whether the call works.
bool getCommModemStatus(SerialHandle handle);
// PurgeComm(PURGE_RXCLEAR): drops what the driver has received and not yet handed out.
bool purgeReceive(SerialHandle handle);
// ClearCommError: clears the error state; with `bytesWaiting` also reports the bytes in the
// driver's input queue (COMSTAT.cbInQue), without it asks for no status record.
bool clearCommError(SerialHandle handle, std::uint32_t* bytesWaiting);

// ReadFile/WriteFile, synchronous, bounded by the port's time-outs. `transferred` receives the
// count actually moved, which may be short when a time-out ends the call.
bool readSerial(SerialHandle handle, void* buffer, std::uint32_t length, std::uint32_t& transferred);
bool writeSerial(SerialHandle handle, const void* data, std::uint32_t length, std::uint32_t& transferred);

// GetDefaultCommConfigW: succeeds only for a port name ("COM5") the system knows.
bool commPortExists(std::wstring_view name);

// QueryDosDeviceW(NULL, buffer, size): every DOS device name, each zero-terminated, the list
// ended by one more zero. Returns the characters stored, or 0 on failure; a buffer too small
// fails with serialErrorInsufficientBuffer.
std::uint32_t queryDosDeviceNames(wchar_t* buffer, std::uint32_t size);
extern const std::uint32_t serialErrorInsufficientBuffer;

// QueryDosDeviceA(name, 256-byte buffer): true when `name` is a DOS device.
bool dosDeviceExists(const std::string& name);

// The present devices of the COM port interface class, as SetupAPI lists them
// (SetupDiGetClassDevsA with DIGCF_PRESENT | DIGCF_DEVICEINTERFACE). The list is taken when the
// object is made and destroyed with it (SetupDiDestroyDeviceInfoList).
class PortDeviceList {
public:
    PortDeviceList();
    ~PortDeviceList();
    PortDeviceList(const PortDeviceList&) = delete;
    PortDeviceList& operator=(const PortDeviceList&) = delete;

    bool isOpen() const;

    enum class Entry { present, noMoreItems, failed };
    // SetupDiEnumDeviceInfo for device `index`.
    Entry device(std::uint32_t index);

    enum class Property { friendlyName, hardwareId };
    // SetupDiGetDeviceRegistryPropertyA into `bytes`, at most `capacity` bytes; `bytes`
    // receives what the system reports (a multi-string for the hardware ids). False on failure.
    bool property(std::uint32_t index, Property which, std::size_t capacity, std::string& bytes);

private:
    struct State;  // the platform's device list, defined by each backend
    State* state_ = nullptr;
};

}  // namespace tarvelin::platform
