#include "platform/stream_capture.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tarvelin::platform {

namespace {

int descriptorOf(StandardStream stream) { return stream == StandardStream::output ? 1 : 2; }
std::FILE* cStreamOf(StandardStream stream) { return stream == StandardStream::output ? stdout : stderr; }
DWORD standardHandleOf(StandardStream stream) {
    return stream == StandardStream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

// Code that writes with WriteFile or WriteConsole to the standard handle, rather than through
// the C runtime, follows the handle; the runtime's descriptor does not update it everywhere.
void pointStandardHandleAt(StandardStream stream) {
    const intptr_t handle = _get_osfhandle(descriptorOf(stream));
    if (handle != -1) SetStdHandle(standardHandleOf(stream), reinterpret_cast<HANDLE>(handle));
}

}  // namespace

StreamCapture::~StreamCapture() {
    end();
    if (readEnd_ != -1) CloseHandle(reinterpret_cast<HANDLE>(readEnd_));
    if (original_ != nullptr) std::fclose(original_);
}

bool StreamCapture::begin(StandardStream stream) {
    if (active_ || original_ != nullptr) return false;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return false;
    const int writeDescriptor = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
    if (writeDescriptor < 0) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return false;
    }
    const int target = descriptorOf(stream);
    std::fflush(cStreamOf(stream));
    // A program started without standard handles has no descriptor to keep; its own output
    // then goes nowhere, as it did before.
    const int saved = _dup(target);
    std::FILE* original = saved >= 0 ? _fdopen(saved, "w") : nullptr;
    if (original == nullptr || _dup2(writeDescriptor, target) != 0) {
        if (original != nullptr) std::fclose(original);
        else if (saved >= 0) _close(saved);
        _close(writeDescriptor);
        CloseHandle(readEnd);
        return false;
    }
    // The descriptor now holds a duplicate of the write end; this one is no longer needed.
    _close(writeDescriptor);
    pointStandardHandleAt(stream);
    std::setvbuf(cStreamOf(stream), nullptr, _IONBF, 0);
    stream_ = stream;
    savedDescriptor_ = saved;
    original_ = original;
    readEnd_ = reinterpret_cast<intptr_t>(readEnd);
    active_ = true;
    return true;
}

long StreamCapture::read(char* buffer, std::size_t size) {
    if (readEnd_ == -1) return -1;
    const DWORD wanted = size > 65536 ? 65536 : static_cast<DWORD>(size);
    for (;;) {
        DWORD count = 0;
        // A writer's empty write completes a read with no bytes; only a broken pipe is the end.
        if (ReadFile(reinterpret_cast<HANDLE>(readEnd_), buffer, wanted, &count, nullptr)) {
            if (count > 0) return static_cast<long>(count);
            continue;
        }
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
}

void StreamCapture::end() {
    if (!active_) return;
    active_ = false;
    std::fflush(cStreamOf(stream_));
    // Pointing the descriptor back closes the pipe's last write end: the reader then sees the end.
    _dup2(savedDescriptor_, descriptorOf(stream_));
    pointStandardHandleAt(stream_);
}

}  // namespace tarvelin::platform
