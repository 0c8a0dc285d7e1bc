// Whether the tuning page slows the engine: the engine's cycle period while the console runs its
// demo, once with nobody looking at the page and once with a browser (headless chromium) showing
// it, polling ten times a second for every cycle. The page reads only the console, which takes
// the engine's snapshots at its own pace either way; the figures show what a busy browser on the
// same machine costs the engine's thread.
//
// Each run plays the demo for 20 s (the BeamNG telemetry port 4444 must be free: run it in a
// network namespace of its own if something holds it) and reads the console's own figures of
// the cycle period (sampled 50 times a second) and of the latency from a telemetry frame to the
// rig frame computed from it, from the page's status at the end.
//   page_load_bench [--benchmark_filter=...]   (needs tarvelin_console beside it, and chromium)

#include <benchmark/benchmark.h>

#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int port = 8799;
constexpr auto settle = std::chrono::seconds(3);    // the game found, the soft start under way
constexpr auto measure = std::chrono::seconds(20);

pid_t spawnProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stopProgram(pid_t pid, int signal) {
    if (pid <= 0) return;
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

void cyclePeriod(benchmark::State& state) {
    const bool browser = state.range(0) != 0;
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    char profile[] = "/tmp/tarvelin-page-bench-XXXXXX";
    if (::mkdtemp(profile) == nullptr) return state.SkipWithError("no temporary folder");

    nlohmann::json status;
    for (auto _ : state) {
        const pid_t demo = spawnProgram({(folder / "tarvelin_console").string(), "demo", "--seconds", "60", "--http",
                                         std::to_string(port)});
        if (demo < 0) return state.SkipWithError("cannot start tarvelin_console");
        std::this_thread::sleep_for(settle);
        pid_t chromium = -1;
        if (browser) {
            chromium = spawnProgram({"chromium", "--headless", "--no-sandbox", "--disable-gpu",
                                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                     "--no-first-run", std::string("--user-data-dir=") + profile,
                                     "--window-size=1500,1300", "http://127.0.0.1:" + std::to_string(port) + "/"});
            if (chromium < 0) {
                stopProgram(demo, SIGINT);
                return state.SkipWithError("cannot start chromium");
            }
        }
        httplib::Client client("127.0.0.1", port);
        // The figures of the runs before the browser came do not count: only the last 20 s.
        std::this_thread::sleep_for(measure);
        const auto answer = client.Get("/api/status");
        if (answer && answer->status == 200) status = nlohmann::json::parse(answer->body);
        stopProgram(chromium, SIGTERM);
        stopProgram(demo, SIGINT);
    }
    std::filesystem::remove_all(profile);
    if (status.is_null() || status["cycle"]["periodMs"].is_null()) return state.SkipWithError("no status from the page");
    const auto& period = status["cycle"]["periodMs"];
    state.counters["period_median_ms"] = period["median"].get<double>();
    state.counters["period_p99_ms"] = period["p99"].get<double>();
    state.counters["period_worst_ms"] = period["worst"].get<double>();
    state.counters["period_samples"] = period["samples"].get<double>();
    if (!status["latencyMs"].is_null()) {
        state.counters["latency_median_ms"] = status["latencyMs"]["median"].get<double>();
        state.counters["latency_p99_ms"] = status["latencyMs"]["p99"].get<double>();
    }
    state.counters["page_requests"] = status["pageRequests"].get<double>();
    state.counters["rig_bad_frames"] = status["link"]["rigFrames"]["bad"].get<double>();
}
BENCHMARK(cyclePeriod)->ArgName("browser")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
