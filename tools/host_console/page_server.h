#pragma once
// The tuning page's web server: the page itself (its HTML, script and style, and the plotting
// library, all built into the console so that it works offline) and the JSON the page reads
// and posts. It serves what the page hub keeps and hands edits to it; it never calls an export
// of its own accord.
//
// It listens on the loopback address unless told otherwise, and even there answers only
// requests that name this machine by address or as localhost (a web page elsewhere cannot
// reach it through a name of its own) and changes settings only on JSON requests from its
// own origin (a browser asks before it sends those to another site, and no permission is
// given).

#include <cstdint>
#include <memory>
#include <string>

#include "host_console/page_hub.h"

namespace tarvelin::console {

class PageServer {
public:
    explicit PageServer(PageHub& hub, const EngineApi& api);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // Listens on `address`:`port` (0: any free port) and serves on threads of its own. False
    // with `error` set when the address cannot be bound.
    bool start(const std::string& address, std::uint16_t port, std::string& error);
    void stop();

    // The port it listens on, once started.
    std::uint16_t port() const { return port_; }

    // Whether the build has a page server at all (the Windows console is built without).
    static bool available();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::uint16_t port_ = 0;
};

}  // namespace tarvelin::console
