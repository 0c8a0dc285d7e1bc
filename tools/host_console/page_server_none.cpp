// The console without its tuning page: Debian's web server library is built for the machine's
// own system only, so the Windows console has no page server.

#include "host_console/page_server.h"

namespace tarvelin::console {

struct PageServer::Impl {};

PageServer::PageServer(PageHub&, const EngineApi&) {}

PageServer::~PageServer() = default;

bool PageServer::available() { return false; }

bool PageServer::start(const std::string&, std::uint16_t, std::string& error) {
    error = "this console is built without the tuning page (the Windows build has no web server)";
    return false;
}

void PageServer::stop() {}

}  // namespace tarvelin::console
