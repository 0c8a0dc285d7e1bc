#pragma once
// The error the serial layer throws for a failed port call. It is always caught inside the
// library; hosts never see it.

#include <cstdint>
#include <exception>

namespace tarvelin::serial {

class CSerialException : public std::exception {
public:
    explicit CSerialException(std::uint32_t code) : errorCode(code) {}

    // Copies the system's text for the error into `buffer` (at most `bufferSize` characters
    // including the terminating zero, cut short when longer) and sets `*extra` to 0 when given.
    // False, with an empty buffer, when the system has no text for the code.
    bool DescribeError(wchar_t* buffer, unsigned bufferSize, unsigned* extra = nullptr) const;

    std::uint32_t errorCode;
};

// Throws CSerialException carrying the thread's last system error.
[[noreturn]] void RaiseSerialError();

}  // namespace tarvelin::serial
