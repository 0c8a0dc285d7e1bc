#pragma once
// The rig link's test bench: emulated boards behind fixed COM numbers.
//
// Natively the emulator runs inside the test program, COM numbers are links in the library's
// data folder and USB chips are told by a fake sysfs tree. Under Wine the emulator is a native
// program started by tests/serial/wine_rig_link.sh, which also maps the same COM numbers to the
// boards in the prefix's registry and registers the same USB devices there. Keep the table
// below and that script in step.

#include <cstdint>
#include <memory>
#include <string>

#include "serial/support/rig_emulator_client.h"

namespace tarvelin::test {

struct TestPort {
    unsigned number;
    std::uint16_t vendor;  // 0: not a USB device
    std::uint16_t product;
};

// COM5, COM6 and COM9: CH340 chips. COM7: an unsupported chip. COM8: no USB device (the fan).
inline constexpr TestPort testPorts[] = {
    {5, 0x1A86, 0x7523}, {6, 0x1A86, 0x7523}, {7, 0x2341, 0x0043}, {8, 0, 0}, {9, 0x1A86, 0x7523}};

class RigEnvironment {
public:
    // The bench, set up on first use and kept for the test program's life.
    static RigEnvironment& instance();
    virtual ~RigEnvironment() = default;

    virtual RigEmulatorClient& emulator() = 0;
    // A fresh board behind COM `number` (a test port); returns the board's name.
    virtual std::string attach(unsigned number) = 0;
    // The board behind COM `number` vanishes.
    virtual void detach(unsigned number) = 0;
    // Whether the line speed a program sets can be read back exactly on the board's side.
    virtual bool exactBaudRates() const = 0;
};

std::unique_ptr<RigEnvironment> makeRigEnvironment();

inline std::string boardName(unsigned number) {
    return "com" + std::to_string(number);
}

}  // namespace tarvelin::test
