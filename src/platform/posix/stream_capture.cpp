#include "platform/stream_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarvelin::platform {

namespace {

int descriptorOf(StandardStream stream) { return stream == StandardStream::output ? STDOUT_FILENO : STDERR_FILENO; }
std::FILE* cStreamOf(StandardStream stream) { return stream == StandardStream::output ? stdout : stderr; }

}  // namespace

StreamCapture::~StreamCapture() {
    end();
    if (readEnd_ >= 0) ::close(static_cast<int>(readEnd_));
    if (original_ != nullptr) std::fclose(original_);
}

bool StreamCapture::begin(StandardStream stream) {
    if (active_ || original_ != nullptr) return false;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    const int target = descriptorOf(stream);
    std::fflush(cStreamOf(stream));
    const int saved = ::fcntl(target, F_DUPFD_CLOEXEC, 3);
    std::FILE* original = saved >= 0 ? ::fdopen(saved, "w") : nullptr;
    if (original == nullptr || ::dup2(ends[1], target) < 0) {
        if (original != nullptr) std::fclose(original);
        else if (saved >= 0) ::close(saved);
        ::close(ends[0]);
        ::close(ends[1]);
        return false;
    }
    ::close(ends[1]);
    std::setvbuf(cStreamOf(stream), nullptr, _IONBF, 0);
    stream_ = stream;
    savedDescriptor_ = saved;
    original_ = original;
    readEnd_ = ends[0];
    active_ = true;
    return true;
}

long StreamCapture::read(char* buffer, std::size_t size) {
    if (readEnd_ < 0) return -1;
    for (;;) {
        const ssize_t count = ::read(static_cast<int>(readEnd_), buffer, size);
        if (count >= 0) return static_cast<long>(count);
        if (errno != EINTR) return -1;
    }
}

void StreamCapture::end() {
    if (!active_) return;
    active_ = false;
    std::fflush(cStreamOf(stream_));
    // Pointing the descriptor back closes the pipe's last write end: the reader then sees the end.
    ::dup2(savedDescriptor_, descriptorOf(stream_));
}

}  // namespace tarvelin::platform
