// How the POSIX backend names ports: comN links in the data folder, Wine's default numbering,
// and USB ids from sysfs.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/app_data.h"
#include "platform/posix/com_ports.h"

namespace tarvelin::platform::posix {
namespace {

TEST(PosixComPorts, NamesAreComAndDigitsOnly) {
    EXPECT_EQ(parseComName("COM5"), 5u);
    EXPECT_EQ(parseComName("com12"), 12u);
    EXPECT_FALSE(parseComName("COM"));
    EXPECT_FALSE(parseComName("COM1a"));
    EXPECT_FALSE(parseComName("LPT1"));
    EXPECT_FALSE(parseComName("COM-1"));
}

TEST(PosixComPorts, LinksOverrideWinesDefaultNumbering) {
    EXPECT_EQ(comDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(comDevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(comDevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(comDevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(comDevicePath(96), "/dev/ttyACM31");
    EXPECT_TRUE(comDevicePath(97).empty());

    const auto folder = comLinkFolder();
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder / "com40");
    std::filesystem::create_symlink("/dev/null", folder / "com40");
    EXPECT_EQ(comDevicePath(40), folder / "com40");
    const auto ports = existingComPorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), 40u), ports.end()) << "a link to a character device exists";

    // A link to nothing hides the default device and is not listed.
    std::filesystem::remove(folder / "com1");
    std::filesystem::create_symlink("/nonexistent/tty", folder / "com1");
    EXPECT_EQ(comDevicePath(1), folder / "com1");
    const auto after = existingComPorts();
    EXPECT_EQ(std::find(after.begin(), after.end(), 1u), after.end());
    EXPECT_TRUE(std::is_sorted(after.begin(), after.end()));
    std::filesystem::remove(folder / "com1");
    std::filesystem::remove(folder / "com40");
}

TEST(PosixComPorts, UsbIdsComeFromTheDeviceOrItsParents) {
    const auto root = roamingAppDataFolder() / "sysfs-ids";
    std::filesystem::remove_all(root);
    // As the kernel lays it out: the tty's device is the interface, the ids sit on the USB
    // device two levels up.
    const auto usbDevice = root / "devices" / "usb1" / "1-1";
    const auto interface = usbDevice / "1-1:1.0" / "ttyUSB0";
    std::filesystem::create_directories(interface);
    std::ofstream(usbDevice / "idVendor") << "1a86\n";
    std::ofstream(usbDevice / "idProduct") << "7523\n";
    std::ofstream(usbDevice / "bcdDevice") << "0254\n";
    std::ofstream(usbDevice / "product") << "USB Serial\n";
    std::filesystem::create_directories(root / "class" / "tty" / "null");
    std::filesystem::create_directory_symlink(interface, root / "class" / "tty" / "null" / "device");

    setSysfsRootForTests(root);
    const auto ids = usbIdsOf("/dev/null");
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->vendor, 0x1A86);
    EXPECT_EQ(ids->product, 0x7523);
    EXPECT_EQ(ids->revision, "0254");
    EXPECT_EQ(ids->productName, "USB Serial");
    EXPECT_FALSE(usbIdsOf("/dev/zero")) << "no sysfs entry: not a USB device";

    std::ofstream(usbDevice / "idVendor") << "xyz\n";
    EXPECT_FALSE(usbIdsOf("/dev/null")) << "a damaged id is no id";
    setSysfsRootForTests("/sys");
}

}  // namespace
}  // namespace tarvelin::platform::posix
