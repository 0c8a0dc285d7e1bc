#pragma once
// The tuning page of a run or demo session: its hub and its server, started as the command line
// asks and stopped when the session is over.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "host_console/command_line.h"
#include "host_console/engine_api.h"
#include "host_console/latency_probe.h"
#include "host_console/page_hub.h"
#include "host_console/page_server.h"

namespace tarvelin::console {

class PageSession {
public:
    // Starts the page unless the command line turned it off, and says where it is. A page that
    // cannot start is reported on `err` and left out: the session goes on without it. Null when
    // there is no page.
    static std::unique_ptr<PageSession> start(const CommandLine& line, const EngineApi& api, const std::string& title,
                                              const std::filesystem::path& profileFile, LatencyProbe* latency,
                                              std::FILE* out, std::FILE* err);

    PageHub& hub() { return hub_; }
    std::uint16_t port() const { return server_.port(); }

private:
    PageSession(const EngineApi& api, const std::string& title, const std::filesystem::path& profileFile,
                const std::string& profileText, LatencyProbe* latency);

    PageHub hub_;
    PageServer server_;
};

}  // namespace tarvelin::console
