#include "platform/com_port_names.h"

#include <system_error>

#include "platform/posix/com_ports.h"

namespace tarvelin::platform {

namespace {

constexpr unsigned highestDefaultPort = 96;

std::filesystem::path linkOf(unsigned number) {
    const auto folder = posix::comLinkFolder();
    return folder.empty() ? std::filesystem::path() : folder / ("com" + std::to_string(number));
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return !a.empty() && std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

ComPortPlace comPortPlace(unsigned number) { return {linkOf(number), posix::defaultDevice(number)}; }

bool comPortsAreLinks() { return true; }

std::optional<unsigned> comPortOfDevice(const std::filesystem::path& device) {
    const auto folder = posix::comLinkFolder();
    std::error_code error;
    if (!folder.empty() && std::filesystem::is_directory(folder, error)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const auto number = posix::parseComName(entry.path().filename().string());
            if (number && sameFile(entry.path(), device)) return number;
        }
    }
    for (unsigned number = 1; number <= highestDefaultPort; ++number) {
        if (posix::comDevicePath(number) == posix::defaultDevice(number) && sameFile(posix::defaultDevice(number), device)) {
            return number;
        }
    }
    return std::nullopt;
}

bool linkComPort(unsigned number, const std::filesystem::path& device, std::string& error) {
    const auto link = linkOf(number);
    if (link.empty()) {
        error = "no data folder to keep the link in (neither XDG_DATA_HOME nor HOME is set)";
        return false;
    }
    std::error_code failure;
    std::filesystem::create_directories(link.parent_path(), failure);
    if (!failure) std::filesystem::create_symlink(std::filesystem::absolute(device), link, failure);
    if (failure) {
        error = "cannot make the link " + link.string() + ": " + failure.message();
        return false;
    }
    return true;
}

void unlinkComPort(unsigned number) {
    const auto link = linkOf(number);
    std::error_code ignored;
    if (!link.empty() && std::filesystem::is_symlink(link, ignored)) std::filesystem::remove(link, ignored);
}

}  // namespace tarvelin::platform
