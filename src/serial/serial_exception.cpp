#include "serial/serial_exception.h"

#include <algorithm>
#include <string>

#include "platform/system_error.h"

namespace tarvelin::serial {

bool CSerialException::DescribeError(wchar_t* buffer, unsigned bufferSize, unsigned* extra) const {
    if (extra != nullptr) *extra = 0;
    if (buffer == nullptr || bufferSize == 0) return false;
    std::wstring text;
    if (!platform::describeSystemError(errorCode, text)) {
        buffer[0] = L'\0';
        return false;
    }
    const std::size_t length = std::min<std::size_t>(text.size(), bufferSize - 1);
    std::copy_n(text.begin(), length, buffer);
    buffer[length] = L'\0';
    return true;
}

void RaiseSerialError() {
    throw CSerialException(platform::lastSystemError());
}

}  // namespace tarvelin::serial
