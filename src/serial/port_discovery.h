#pragma once
// Which COM ports exist, and whether one belongs to a supported USB serial bridge chip.

#include <string>
#include <vector>

namespace tarvelin::serial {

class CEnumerateSerial {
public:
    // Fills `ports` with the number of every DOS device named COM followed by digits (any case),
    // in the order of the system's table. False when the table cannot be read.
    static bool UsingQueryDosDevice(std::vector<unsigned>& ports);
};

// True when a present COM port device whose friendly name contains `name` (such as "COM5")
// has one of the supported chips' USB vendor and product ids among its hardware ids: CH340,
// FT232R, CP210x, the SAM3X native port, the STM32 virtual port. Prints "vid wrong \n\r" for
// each device whose name matches but whose ids do not. Thread-safe.
bool isSupportedUsbSerial(const std::string& name);

}  // namespace tarvelin::serial
