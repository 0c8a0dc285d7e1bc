#pragma once
// Ends a test program that hangs, with a message that says where: for tests whose failure is a
// deadlock, which would otherwise hold ctest until its time-out and tell nothing.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace tarvelin::test {

class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit) : what_(std::move(what)) {
        thread_ = std::thread([this, limit] {
            std::unique_lock lock(mutex_);
            if (!dismissed_.wait_for(lock, limit, [this] { return done_; })) {
                std::fprintf(stderr, "\nHUNG: %s did not finish within %lld s\n", what_.c_str(),
                             static_cast<long long>(limit.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
        });
    }
    ~Watchdog() { dismiss(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void dismiss() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        dismissed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable dismissed_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace tarvelin::test
