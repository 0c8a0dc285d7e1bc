#pragma once
// How the POSIX backend names serial ports the Windows way, as Wine does.
//
// A COM number resolves to a device file through a link named "comN" (lower case) in the
// folder "tarvelin/dosdevices" of the library's data folder ($XDG_DATA_HOME, else
// ~/.local/share), exactly like the links of a Wine prefix's dosdevices folder. Where no such
// link exists, Wine's default numbering applies: COM1..COM32 are /dev/ttyS0..31, COM33..COM64
// /dev/ttyUSB0..31 and COM65..COM96 /dev/ttyACM0..31. A port exists when its name resolves to
// a character device.
//
// USB bridge chips are told by the vendor and product id that sysfs shows for the device.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvelin::platform::posix {

// The folder of comN links.
std::filesystem::path comLinkFolder();

// The number of a "COMn" name (letters in any case, then decimal digits only).
std::optional<unsigned> parseComName(std::string_view name);

// The device file of COM `number` by Wine's numbering alone; empty beyond COM96.
std::filesystem::path defaultDevice(unsigned number);

// The device file of COM `number`: its link, else the default device; empty when neither.
std::filesystem::path comDevicePath(unsigned number);

// The COM numbers that resolve to an existing device, ascending.
std::vector<unsigned> existingComPorts();

struct UsbIds {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string revision;     // bcdDevice as sysfs writes it, or empty
    std::string productName;  // the device's own product string, or empty
};

// The USB ids of the device behind `device` (a device file or a link to one), read from
// /sys/class/tty/<name>/device and its parents; nothing for a device that is not on USB.
std::optional<UsbIds> usbIdsOf(const std::filesystem::path& device);

// Where sysfs is looked for; "/sys" unless a test gives a tree of its own. Not thread-safe:
// tests set it before the code under test runs.
void setSysfsRootForTests(std::filesystem::path root);

}  // namespace tarvelin::platform::posix
