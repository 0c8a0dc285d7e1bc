// A host that leaves while the engine's thread and the rig link's loop (on a thread of the
// host's own) still run: it loads the library, starts both, and then either unloads the library
// or simply returns from main. Either way the process must end promptly and cleanly (on Windows,
// a thread joined under the loader lock would hang it for good), and on unload the link's thread
// must come back out of the library before its code is gone.
//   teardown_host LIBRARY unload|exit

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/dynamic_library.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    auto* library = new tarvelin::platform::DynamicLibrary;
    if (!library->load(argv[1])) {
        std::fprintf(stderr, "%s\n", library->error().c_str());
        return 1;
    }
    auto start = reinterpret_cast<void (*)()>(library->symbol("startGamesource_Thread"));
    auto ready = reinterpret_cast<void (*)(int)>(library->symbol("setMotionsystemready"));
    auto runLink = reinterpret_cast<int (*)()>(library->symbol("startMMFtoSerial_Thread"));
    auto send = reinterpret_cast<int (*)(const unsigned char*, int)>(library->symbol("sendMessagemmf"));
    if (start == nullptr || ready == nullptr || runLink == nullptr || send == nullptr) return 1;
    // The link takes messages only while its loop runs.
    static const unsigned char message[] = {0xFC, 0xFC, 0x0A, 0x0D};
    const auto linkRuns = [send] { return send(message, sizeof message) == 1; };
    start();
    ready(1);
    static std::atomic<int> linkResult{-1};
    std::thread link([runLink] { linkResult.store(runLink()); });
    for (int waited = 0; waited < 10000 && !linkRuns(); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!linkRuns()) {
        std::fputs("the link loop did not start\n", stderr);
        link.detach();
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (std::strcmp(argv[2], "unload") == 0) {
        delete library;  // unloads while both run
        std::puts("unloaded");
        // The unload ended the loop, so the host's thread comes back from the library.
        for (int waited = 0; waited < 10000 && linkResult.load() == -1; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (linkResult.load() != 1) {
            std::fputs("the link loop still ran after the library was unloaded\n", stderr);
            link.detach();
            return 1;
        }
        link.join();
        return 0;
    }
    std::puts("exiting");
    static auto* stillLoaded = library;  // kept on purpose: the library stays loaded
    (void)stillLoaded;
    link.detach();
    return 0;  // the process ends with the engine's thread and the link's loop running
}
