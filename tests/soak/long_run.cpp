// The console's demo for a long time, with the process's resources watched: the heap (live
// bytes, as the sanitizer's allocator or glibc counts them), open files, sockets, other
// descriptors, threads and mapped shared-memory blocks. After the demo, the engine's thread and
// the rig link are started and stopped through the exports many times over, against the
// built-in rig controller and a game that plays throughout. The program fails when the demo
// fails, when the heap grows after the warm-up, or when anything the demo or the cycles opened
// is still open afterwards.
//
//   long_run [--seconds S] [--cycles N] [--sample S] [--game NAME] [--heap-slack KIB]
//
// It prints one line per sample (seconds, heap, RSS, files, sockets, other descriptors, threads,
// shared-memory blocks) and a verdict per check.

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "game_encoder.h"
#include "host_console/command_line.h"
#include "host_console/commands.h"
#include "host_console/engine_api.h"
#include "host_console/library_capture.h"
#include "host_console/rig_peer.h"
#include "telemetry_emulator.h"

extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

using namespace tarvelin::console;
using Clock = std::chrono::steady_clock;

struct Resources {
    long long heapBytes = 0;
    long long rssKib = 0;
    int files = 0;
    int sockets = 0;
    int otherDescriptors = 0;  // pipes, event and timer descriptors
    int threads = 0;
    int sharedMemory = 0;  // distinct /dev/shm blocks mapped

    bool sameHandles(const Resources& other) const {
        return files == other.files && sockets == other.sockets && otherDescriptors == other.otherDescriptors &&
               threads == other.threads && sharedMemory == other.sharedMemory;
    }
};

long long heapBytes() {
    if (__sanitizer_get_current_allocated_bytes != nullptr) {
        return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
    }
    const auto info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

long long residentKib() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return 0;
}

// `ignoredThreads` leaves out the sampler's own thread while it runs.
Resources countResources(int ignoredThreads = 0) {
    Resources counted;
    counted.heapBytes = heapBytes();
    counted.rssKib = residentKib();
    std::error_code failure;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", failure)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), failure).string();
        if (failure) continue;  // the iterator's own descriptor, closed meanwhile
        if (target.rfind("socket:", 0) == 0) ++counted.sockets;
        else if (target.rfind("pipe:", 0) == 0 || target.rfind("anon_inode:", 0) == 0) ++counted.otherDescriptors;
        else ++counted.files;
    }
    // The directory iterator's own descriptor is among the files.
    --counted.files;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", failure)) {
        (void)entry;
        ++counted.threads;
    }
    counted.threads -= ignoredThreads;
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> blocks;
    for (std::string line; std::getline(maps, line);) {
        if (const auto at = line.find("/dev/shm/"); at != std::string::npos) blocks.insert(line.substr(at));
    }
    counted.sharedMemory = static_cast<int>(blocks.size());
    return counted;
}

void printResources(std::FILE* out, const char* when, double seconds, const Resources& r) {
    std::fprintf(out, "%-14s %8.0f s  heap %9.1f KiB  rss %8lld KiB  files %3d  sockets %3d  other %3d  threads %3d  shm %2d\n",
                 when, seconds, static_cast<double>(r.heapBytes) / 1024.0, r.rssKib, r.files, r.sockets,
                 r.otherDescriptors, r.threads, r.sharedMemory);
    std::fflush(out);
}

// Samples the resources on a thread of its own while the demo runs on the main thread.
class Sampler {
public:
    Sampler(std::FILE* out, std::chrono::seconds interval) : out_(out), interval_(interval), start_(Clock::now()) {
        thread_ = std::thread([this] { run(); });
    }
    ~Sampler() { stop(); }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    struct Sample {
        double seconds;
        Resources resources;
    };
    const std::vector<Sample>& samples() const { return samples_; }

private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
            const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
            samples_.push_back({seconds, countResources(1)});
            printResources(out_, "demo", seconds, samples_.back().resources);
        }
    }

    std::FILE* out_;
    std::chrono::seconds interval_;
    Clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<Sample> samples_;
    std::thread thread_;
};

struct Options {
    double seconds = 60.0;
    int cycles = 1000;
    int sampleSeconds = 10;
    std::string game = "beamng";
    long long heapSlackKib = 256;
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--seconds") options.seconds = std::atof(value);
        else if (name == "--cycles") options.cycles = std::atoi(value);
        else if (name == "--sample") options.sampleSeconds = std::max(1, std::atoi(value));
        else if (name == "--game") options.game = value;
        else if (name == "--heap-slack") options.heapSlackKib = std::atoll(value);
        else return false;
    }
    return argc % 2 == 1 && options.seconds > 0.0 && options.cycles >= 0;
}

bool verdict(std::FILE* out, bool passed, const std::string& what) {
    std::fprintf(out, "%s: %s\n", passed ? "PASS" : "FAIL", what.c_str());
    return passed;
}

// The same handles in both counts; otherwise both counts are shown.
bool sameHandles(std::FILE* out, const Resources& before, const Resources& after, const std::string& what) {
    if (verdict(out, after.sameHandles(before), what)) return true;
    printResources(out, "  first", 0.0, before);
    printResources(out, "  then", 0.0, after);
    return false;
}

// Starts and stops the engine's thread and the rig link `cycles` times, with the game playing
// and the built-in rig controller answering. Each cycle waits for the link to connect, so that
// the stop finds it at work.
bool startStopCycles(std::FILE* out, const Options& options, Resources& before, Resources& after, int& connected) {
    std::string error;
    const auto rig = startBuiltInRig(error);
    if (!rig) return verdict(out, false, "the built-in rig controller for the cycles: " + error);
    EngineApi api;
    if (!api.load(defaultLibraryPath(), error)) return verdict(out, false, error);
    const auto* game = tarvelin::emulator::findGameEncoder(options.game.c_str());
    tarvelin::emulator::TelemetryEmulator telemetry(*game);
    if (!telemetry.ready()) return verdict(out, false, "the game's telemetry for the cycles could not be set up");
    telemetry.start();
    api.setUsbChipCheck(0);
    api.disableAutoconnect();
    api.setStandartPort(rig->port().c_str());
    api.setMotionsystemready(1);
    // One cycle first, so that whatever the library sets up once (its log, its timer) is there
    // in both counts.
    const auto cycle = [&] {
        api.startGamesource_Thread();
        std::thread link([&] { api.startMMFtoSerial_Thread(); });
        // With auto-connect off, the host identifies the controller on the standard port.
        connected += api.resumeInterface() == 1 && api.isConnected() == 1 ? 1 : 0;
        api.stopMMFtoSerial_Thread();
        link.join();
        api.stopGamesource_Thread();
    };
    cycle();
    connected = 0;
    before = countResources();
    const auto start = Clock::now();
    for (int i = 0; i < options.cycles; ++i) cycle();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    after = countResources();
    telemetry.stop();
    std::fprintf(out, "%d start/stop cycles in %.1f s, the link connected in %d\n", options.cycles, seconds, connected);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: long_run [--seconds S] [--cycles N] [--sample S] [--game NAME] [--heap-slack KIB]\n");
        return 2;
    }
    LibraryLog log;
    LibraryCapture capture(log);
    ConsoleStreams streams;
    if (capture.start()) {
        streams.out = capture.output();
        streams.err = capture.errors();
        streams.library = &capture;
    }
    std::FILE* const out = streams.out;
    // The demo's own lines go to a file of their own; this program's lines are the report.
    std::FILE* const demoOut = std::fopen("long_run_demo.txt", "w");
    ConsoleStreams demoStreams = streams;
    demoStreams.out = demoOut != nullptr ? demoOut : out;

    const std::string seconds = std::to_string(options.seconds);
    const char* demoArguments[] = {"demo", "--seconds", seconds.c_str(), "--game", options.game.c_str(), "--http", "0"};
    CommandLine line;
    std::string error;
    if (!parseCommandLine(7, demoArguments, line, error)) {
        std::fprintf(stderr, "long_run: %s\n", error.c_str());
        return 2;
    }

    const Resources beforeDemo = countResources();
    printResources(out, "before demo", 0.0, beforeDemo);
    int status = 0;
    std::vector<Sampler::Sample> samples;
    {
        Sampler sampler(out, std::chrono::seconds(options.sampleSeconds));
        status = demoCommand(line, demoStreams);
        sampler.stop();
        samples = sampler.samples();
    }
    // A sample taken in the demo's last second may catch it stopping, with the threads of the
    // stop at work; the demo is judged while it runs.
    while (!samples.empty() && samples.back().seconds > options.seconds - 1.0) samples.pop_back();
    const Resources afterDemo = countResources();
    printResources(out, "after demo", options.seconds, afterDemo);

    bool passed = verdict(out, status == 0, "the demo ended with status " + std::to_string(status) + " (long_run_demo.txt)");
    // The heap after the warm-up: a tenth of the run, at least 30 s (the page, the live view and
    // the engine's chains have then made what they keep).
    const double warmUp = std::max(30.0, options.seconds / 10.0);
    const auto settled = std::find_if(samples.begin(), samples.end(), [&](const auto& s) { return s.seconds >= warmUp; });
    if (settled != samples.end()) {
        long long highest = settled->resources.heapBytes;
        long long lowest = highest;
        for (auto s = settled; s != samples.end(); ++s) {
            highest = std::max(highest, s->resources.heapBytes);
            lowest = std::min(lowest, s->resources.heapBytes);
        }
        const long long growth = samples.back().resources.heapBytes - settled->resources.heapBytes;
        char text[200];
        std::snprintf(text, sizeof text,
                      "heap after the warm-up (%.0f s): %.1f KiB, at the end %.1f KiB (%+.1f KiB), range %.1f KiB over %zu samples",
                      settled->seconds, static_cast<double>(settled->resources.heapBytes) / 1024.0,
                      static_cast<double>(samples.back().resources.heapBytes) / 1024.0, static_cast<double>(growth) / 1024.0,
                      static_cast<double>(highest - lowest) / 1024.0, static_cast<std::size_t>(samples.end() - settled));
        passed &= verdict(out, growth <= options.heapSlackKib * 1024, text);
        auto changed = std::find_if(settled, samples.end(), [&](const auto& s) { return !s.resources.sameHandles(settled->resources); });
        passed &= sameHandles(out, settled->resources, (changed != samples.end() ? changed : settled)->resources,
                              "files, sockets, threads and shared-memory blocks steady during the demo");
    } else {
        std::fprintf(out, "(no sample after the warm-up of %.0f s: the heap is judged over longer runs)\n", warmUp);
    }
    passed &= sameHandles(out, beforeDemo, afterDemo, "files, sockets, threads and shared-memory blocks after the demo as before it");
    passed &= verdict(out, afterDemo.heapBytes - beforeDemo.heapBytes <= options.heapSlackKib * 1024,
                      "the heap after the demo within the slack of before it");

    if (options.cycles > 0) {
        Resources beforeCycles;
        Resources afterCycles;
        int connected = 0;
        if (startStopCycles(out, options, beforeCycles, afterCycles, connected)) {
            printResources(out, "before cycles", 0.0, beforeCycles);
            printResources(out, "after cycles", 0.0, afterCycles);
            passed &= verdict(out, connected == options.cycles, "the link connected in every cycle");
            passed &= sameHandles(out, beforeCycles, afterCycles, "files, sockets, threads and shared-memory blocks after the cycles as before them");
            passed &= verdict(out, afterCycles.heapBytes - beforeCycles.heapBytes <= options.heapSlackKib * 1024,
                              "the heap after the cycles within the slack of before them");
        } else {
            passed = false;
        }
    }
    std::fprintf(out, "%s\n", passed ? "long run passed" : "LONG RUN FAILED");
    if (demoOut != nullptr) std::fclose(demoOut);
    std::fflush(out);
    capture.stop();
    return passed ? 0 : 1;
}
