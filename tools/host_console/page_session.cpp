#include "host_console/page_session.h"

#include <fstream>
#include <sstream>

namespace tarvelin::console {

PageSession::PageSession(const EngineApi& api, const std::string& title, const std::filesystem::path& profileFile,
                         const std::string& profileText, LatencyProbe* latency)
    : hub_(api, title, profileFile.filename().string(), profileText, latency), server_(hub_, api) {}

std::unique_ptr<PageSession> PageSession::start(const CommandLine& line, const EngineApi& api, const std::string& title,
                                                const std::filesystem::path& profileFile, LatencyProbe* latency,
                                                std::FILE* out, std::FILE* err) {
    if (!line.httpPort) return nullptr;
    if (!PageServer::available()) {
        if (line.httpAsked) std::fprintf(err, "tarvelin_console: this console is built without the tuning page\n");
        return nullptr;
    }
    // The profile as its owner wrote it, so that the page saves it with every comment.
    std::ifstream in(profileFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::unique_ptr<PageSession> page(new PageSession(api, title, profileFile, text.str(), latency));
    std::string error;
    if (!page->server_.start(line.httpBind, *line.httpPort, error)) {
        std::fprintf(err, "tarvelin_console: %s; going on without it\n", error.c_str());
        return nullptr;
    }
    const bool ipv6 = line.httpBind.find(':') != std::string::npos;
    std::fprintf(out, "tuning page: http://%s%s%s:%u/\n", ipv6 ? "[" : "", line.httpBind.c_str(), ipv6 ? "]" : "",
                 static_cast<unsigned>(page->port()));
    std::fflush(out);
    return page;
}

}  // namespace tarvelin::console
