// A host that leaves while the engine's thread still runs: it loads the library, starts the
// thread, and then either unloads the library or simply returns from main. Either way the
// process must end promptly and cleanly (on Windows, a thread joined under the loader lock
// would hang it for good).
//   teardown_host LIBRARY unload|exit

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
    if (start == nullptr || ready == nullptr) return 1;
    start();
    ready(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (std::strcmp(argv[2], "unload") == 0) {
        delete library;  // unloads while the thread runs
        std::puts("unloaded");
        return 0;
    }
    std::puts("exiting");
    static auto* stillLoaded = library;  // kept on purpose: the library stays loaded
    (void)stillLoaded;
    return 0;  // the process ends with the thread running
}
