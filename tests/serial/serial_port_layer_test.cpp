// The serial port layer on real ports: discovery, chip recognition, opening and conditioning,
// and error texts.

#include <algorithm>

#include "platform/serial_port.h"
#include "serial/port_discovery.h"
#include "serial/rig_port.h"
#include "serial/serial_exception.h"
#include "serial/support/link_fixture.h"

namespace tarvelin::test {
namespace {

using serial::CEnumerateSerial;

class SerialPortLayerTest : public LinkFixture {};

TEST_F(SerialPortLayerTest, DosDeviceTableListsTheAttachedPorts) {
    bench().attach(5);
    bench().attach(9);
    std::vector<unsigned> ports{42};
    ASSERT_TRUE(CEnumerateSerial::UsingQueryDosDevice(ports));
    EXPECT_NE(std::find(ports.begin(), ports.end(), 5u), ports.end());
    EXPECT_NE(std::find(ports.begin(), ports.end(), 9u), ports.end());
    EXPECT_EQ(std::find(ports.begin(), ports.end(), 42u), ports.end()) << "the list is emptied first";
}

TEST_F(SerialPortLayerTest, UsbChipIsToldByVendorAndProductIds) {
    for (const unsigned number : {5u, 7u, 8u}) bench().attach(number);
    EXPECT_TRUE(serial::isSupportedUsbSerial("COM5"));
    EXPECT_FALSE(serial::isSupportedUsbSerial("COM7"));
    EXPECT_TRUE(printed("vid wrong \n\r"));
    EXPECT_FALSE(serial::isSupportedUsbSerial("COM8"));
    EXPECT_FALSE(serial::isSupportedUsbSerial("COM55"));
}

TEST_F(SerialPortLayerTest, ConfiguringAnUnknownPortFailsWithItsLine) {
    EXPECT_EQ(serial::configureRigPort(77), 0u);
    EXPECT_TRUE(printed("Serialexception when open port. , Error:")) << console();
    EXPECT_EQ(serial::rigPort().session(), 0u);
}

TEST_F(SerialPortLayerTest, OpeningClosesTheOldPortEvenWhenTheNewOneFails) {
    bench().attach(5);
    const serial::PortSession first = serial::configureRigPort(5);
    ASSERT_NE(first, 0u) << console();
    EXPECT_EQ(serial::openRigPort(78), 0u);
    EXPECT_EQ(serial::rigPort().session(), 0u);
    // The first session is over: its calls fail like calls on a closed handle.
    EXPECT_THROW(serial::writeRigPort(first, Bytes{1, 2, 3}), serial::CSerialException);

    const serial::PortSession second = serial::openRigPort(5);
    ASSERT_NE(second, 0u);
    EXPECT_THROW(serial::writeRigPort(first, Bytes{1}), serial::CSerialException)
        << "an old session never reaches a newer handle";
    EXPECT_NO_THROW(serial::writeRigPort(second, Bytes{0xF9}));
    serial::closeRigPort(first);
    EXPECT_EQ(serial::rigPort().session(), second) << "closing an old session leaves the new one open";
    EXPECT_EQ(serial::closeRigPort(), 1);
    EXPECT_EQ(serial::rigPort().session(), 0u);
}

TEST_F(SerialPortLayerTest, ExceptionDescribesItsErrorWithinTheBuffer) {
    serial::CSerialException error(platform::serialErrorInvalidHandle);
    wchar_t text[8];
    unsigned extra = 99;
    ASSERT_TRUE(error.DescribeError(text, 8, &extra));
    EXPECT_EQ(extra, 0u);
    EXPECT_EQ(std::wstring(text).size(), 7u) << "cut to the buffer, terminated";

    serial::CSerialException unknown(0x7FFFFFF0u);
    text[0] = L'x';
    EXPECT_FALSE(unknown.DescribeError(text, 8));
    EXPECT_EQ(text[0], L'\0');
}

}  // namespace
}  // namespace tarvelin::test
