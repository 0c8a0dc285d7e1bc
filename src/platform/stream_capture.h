#pragma once
// Capturing what the process writes to its standard output or standard error: what each
// platform must provide. A library loaded into the process (the engine prints its diagnostic
// lines with printf and perror) writes through the C runtime's descriptors 1 and 2 and, on
// Windows, the process's standard handles; both are pointed at a pipe, and the program reads
// the pipe. Windows: CreatePipe, _open_osfhandle, _dup2 and SetStdHandle. POSIX: pipe and dup2.
//
// For the host tools only; the engine itself never redirects anything. Line assembly, time
// stamps and threads stay with the caller.

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace tarvelin::platform {

enum class StandardStream { output, error };

class StreamCapture {
public:
    StreamCapture() = default;
    // Ends a capture that is still on, as end() does.
    ~StreamCapture();
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    // Points `stream` at the write end of a new pipe. The C stream (stdout or stderr) is
    // flushed first and then left unbuffered, so that every line goes into the pipe as it is
    // written rather than when a buffer fills. False when the pipe or the redirection cannot
    // be made; the stream is then left as it was.
    bool begin(StandardStream stream);

    // A C stream on the place `stream` went before begin() (a terminal, a file), for the
    // program's own output; null before a successful begin(). It stays valid until the object
    // is destroyed, also after end().
    std::FILE* original() const { return original_; }

    // Waits for bytes and copies at most `size` of them. Returns their count, 0 once end() has
    // run and everything written before it has been read, -1 on failure. Meant for one reading
    // thread, which may block here while others write.
    long read(char* buffer, std::size_t size);

    // Points the stream back at its original place and closes the pipe's write end, so that
    // read() returns 0 after the rest. Call when nothing writes to the stream any more.
    void end();

private:
    StandardStream stream_ = StandardStream::output;
    bool active_ = false;
    std::FILE* original_ = nullptr;
    int savedDescriptor_ = -1;  // the C runtime's duplicate of the original destination
    std::intptr_t readEnd_ = -1;  // the pipe's read end: a descriptor (POSIX) or a HANDLE (Windows)
};

}  // namespace tarvelin::platform
