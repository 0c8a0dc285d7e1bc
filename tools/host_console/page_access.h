#pragma once
// Who the tuning page answers. It changes what moves a rig with a person on it, so it listens on
// the loopback address unless told otherwise, and even there answers only requests that name this
// machine by an address or as localhost: a web page elsewhere can point a name of its own at this
// machine (and so have the browser ask), but cannot make the browser send this machine's address
// as the host it asks for.

#include <string>

namespace tarvelin::console {

// Whether a request may be served. `peer` is the address it came from, `host` its Host header,
// `bindAddress` where the server listens. Requests from other machines are refused unless the
// server was bound to an address other machines reach.
bool requestAllowed(const std::string& peer, const std::string& host, const std::string& bindAddress);

// Whether an address is on the loopback network (127.0.0.0/8, ::1, or those mapped into IPv6).
bool isLoopbackAddress(const std::string& address);

}  // namespace tarvelin::console
