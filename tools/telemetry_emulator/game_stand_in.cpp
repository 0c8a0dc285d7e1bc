// Stands in for a game's executable: the emulator copies this program under the game's
// executable name and runs it, so that the engine's detection sees a process of that name. It
// only waits; its owner ends it. It ends itself after two minutes, so that an owner that died
// leaves no game behind for long; an owner that plays longer starts it again.

#include <chrono>
#include <thread>

int main() {
    std::this_thread::sleep_for(std::chrono::minutes(2));
    return 0;
}
