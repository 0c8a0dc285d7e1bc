#include "platform/posix/com_ports.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

#include "platform/app_data.h"

namespace tarvelin::platform::posix {

namespace {

std::filesystem::path& sysfsRoot() {
    static std::filesystem::path root = "/sys";
    return root;
}

bool isCharacterDevice(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode);
}

std::optional<std::string> readFirstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0) line.pop_back();
    return line;
}

std::optional<std::uint16_t> readHexId(const std::filesystem::path& file) {
    const auto text = readFirstLine(file);
    if (!text || text->empty() || text->size() > 4) return std::nullopt;
    unsigned value = 0;
    for (const char c : *text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c)) != 0
                                                       ? c - '0'
                                                       : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::filesystem::path defaultDevice(unsigned number) {
    if (number >= 1 && number <= 32) return "/dev/ttyS" + std::to_string(number - 1);
    if (number >= 33 && number <= 64) return "/dev/ttyUSB" + std::to_string(number - 33);
    if (number >= 65 && number <= 96) return "/dev/ttyACM" + std::to_string(number - 65);
    return {};
}

std::filesystem::path comLinkFolder() {
    const auto data = roamingAppDataFolder();
    if (data.empty()) return {};
    return data / "tarvelin" / "dosdevices";
}

std::optional<unsigned> parseComName(std::string_view name) {
    if (name.size() <= 3 || name.size() > 12) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
    }
    unsigned number = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

std::filesystem::path comDevicePath(unsigned number) {
    const auto folder = comLinkFolder();
    if (!folder.empty()) {
        const auto link = folder / ("com" + std::to_string(number));
        std::error_code error;
        // A link that points nowhere still hides the default device, as in a Wine prefix.
        if (std::filesystem::is_symlink(link, error) || std::filesystem::exists(link, error)) return link;
    }
    return defaultDevice(number);
}

std::vector<unsigned> existingComPorts() {
    std::vector<unsigned> numbers;
    const auto folder = comLinkFolder();
    std::error_code error;
    if (!folder.empty() && std::filesystem::is_directory(folder, error)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const auto number = parseComName(entry.path().filename().string());
            if (number && isCharacterDevice(entry.path())) numbers.push_back(*number);
        }
    }
    for (unsigned number = 1; number <= 96; ++number) {
        if (std::find(numbers.begin(), numbers.end(), number) != numbers.end()) continue;
        if (comDevicePath(number) == defaultDevice(number) && isCharacterDevice(defaultDevice(number))) {
            numbers.push_back(number);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::optional<UsbIds> usbIdsOf(const std::filesystem::path& device) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(device, error);
    if (error) return std::nullopt;
    // sysfs names a tty after its path below /dev, with '!' for every further '/'.
    auto name = resolved.lexically_relative("/dev").generic_string();
    if (name.empty() || name.starts_with("..")) return std::nullopt;
    std::replace(name.begin(), name.end(), '/', '!');

    const auto root = std::filesystem::weakly_canonical(sysfsRoot(), error);
    auto folder = std::filesystem::weakly_canonical(sysfsRoot() / "class" / "tty" / name / "device", error);
    if (error) return std::nullopt;
    // The tty's own device is the serial interface; the ids sit on the USB device above it.
    while (!folder.empty() && folder != root && folder != folder.root_path()) {
        const auto vendor = readHexId(folder / "idVendor");
        const auto product = readHexId(folder / "idProduct");
        if (vendor && product) {
            UsbIds ids;
            ids.vendor = *vendor;
            ids.product = *product;
            ids.revision = readFirstLine(folder / "bcdDevice").value_or("");
            ids.productName = readFirstLine(folder / "product").value_or("");
            return ids;
        }
        folder = folder.parent_path();
    }
    return std::nullopt;
}

void setSysfsRootForTests(std::filesystem::path root) {
    sysfsRoot() = std::move(root);
}

}  // namespace tarvelin::platform::posix
