#pragma once
// How the library is being torn down, for the destructors that must stop its threads: what each
// platform must provide.
//
// Windows runs a DLL's static destructors under the loader lock. When the process exits, the
// other threads are already gone by then and must not be joined; when the host unloads the
// library, they still run, but a thread cannot end while the lock is held, so joining one
// deadlocks. POSIX has neither problem: threads run on through exit() and dlclose() until joined.

namespace tarvelin::platform {

enum class Teardown {
    none,         // an ordinary destruction: threads can be joined
    unloading,    // the host is unloading the library: threads run but cannot be joined
    processExit,  // the process is ending: other threads have already been stopped
};

Teardown teardown();

}  // namespace tarvelin::platform
