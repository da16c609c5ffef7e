// HTTP/1.1 for the hall through Boost.Beast: a listener that keeps at most
// MAX_CONNECTIONS open and sessions that read one bounded request at a time,
// hand it to the handlers and write their answer.
#pragma once
#include <functional>
#include <string>

#include "ports/server/handlers.h"

// Listens on `address` (a numeric IPv4 or IPv6 address) and `port` (0: any
// free port) and serves until SIGINT or SIGTERM; `ready` is told the port once
// it listens. False with `error` when it cannot listen.
bool serve_http(const std::string& address, unsigned short port, Hall* hall,
                const std::function<void(unsigned short)>& ready, std::string* error);
