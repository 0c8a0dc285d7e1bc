#include "platform/module_lifetime.h"

#include <windows.h>

#include <atomic>

namespace tarvelin::platform {

namespace {

std::atomic<Teardown> currentTeardown{Teardown::none};

}  // namespace

Teardown teardown() { return currentTeardown.load(); }

}  // namespace tarvelin::platform

// The C runtime calls this before it runs the library's static destructors on detach, so they
// can learn why they run. (The tests link the same code into programs, where it is never called.)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH) {
        tarvelin::platform::currentTeardown.store(reserved != nullptr ? tarvelin::platform::Teardown::processExit
                                                                      : tarvelin::platform::Teardown::unloading);
    }
    return TRUE;
}
