// Stands in for a game's executable: the tests copy this program under the game's executable
// name and run it, so that the engine sees a process of that name. It only waits; the test ends
// it, and it ends itself after two minutes should a test die before.

#include <chrono>
#include <thread>

int main() {
    std::this_thread::sleep_for(std::chrono::minutes(2));
    return 0;
}
