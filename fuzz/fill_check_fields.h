#pragma once
// Lets fuzzed bytes past the check field: rewrites the CRC of every frame a byte stream appears
// to hold, walking it as the frame parser would if every check were good, so that damaged but
// framed input reaches what lies behind the check.

#include <cstdint>
#include <vector>

#include "serial/crc16.h"

inline void fillCheckFields(std::vector<std::uint8_t>& stream) {
    using tarvelin::serial::crc16Arc;
    using tarvelin::serial::loadLe16;
    using tarvelin::serial::storeCrc;
    std::size_t position = 0;
    while (position + 8 <= stream.size()) {
        const std::uint8_t lead = stream[position];
        std::size_t length = 0;
        if (stream[position + 1] == lead) {
            if (lead == 0xF9) length = 8;
            if (lead == 0xF8) length = 38;
            if (lead == 0xFB) length = 78;
            if (lead == 0xFA || lead == 0xFE) length = loadLe16(&stream[position + 2]) + 6u;
        }
        if (length == 0 || position + length > stream.size()) {
            ++position;
            continue;
        }
        storeCrc(crc16Arc({&stream[position], length - 2}), &stream[position + length - 2]);
        position += length;
    }
}
