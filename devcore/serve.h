// devcore serve: the test core with its plugins' routes served over HTTP on 127.0.0.1.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "devcore/http_server.h"

namespace Zarvo::DevCore {

struct ServeOptions {
    int port = 0;  // 0: a free port, chosen by the system
    std::vector<std::string> plugins;
    bool verbose = false;  // tell the story on the output
    // A plugin that does not return from a call within this long is set aside; 0 waits for ever (for a debugger).
    std::chrono::milliseconds callTimeout{5000};
    HttpLimits limits;
    std::ostream* out = nullptr;  // where the address, the story and errors go; standard output when null
    bool stopOnSignals = true;    // SIGINT and SIGTERM stop the server
    // Called once the server listens, with its port and a function that stops it from any thread.
    std::function<void(int port, std::function<void()> stop)> listening;
    // The plugins run in a child process (see plugin_process.h), so that one that crashes cannot end the server:
    // for the program itself, which the child is started again from.
    bool isolatePlugins = false;
    // A child serving for its parent: the pipe it reports on, and the key of the parent's orders.
    intptr_t reportChannel = -1;
    std::string parentKey;
};

// Serves until stopped. GET / answers the plugins' catalogue (also printed at start), GET /events streams the events
// the plugins send (Server-Sent Events, numbered, replayed after Last-Event-ID). The plugins' routes are called with
// the request's method, path, query, headers and body; their responses are answered as JSON ({"error": text} for an
// error) with the response's status. A path under a plugin's own prefix that none of its routes serves is answered
// 404 with its routes. On every other path the resource store answers: PUT stores a value (Create or Update event),
// POST stores it with a Create event, DELETE removes it (Delete event), GET and HEAD read it; values are JSON, YAML
// or MessagePack by content type. Requests for a host other than the loopback, and from web pages of other origins
// than http://localhost and http://127.0.0.1, are refused.
// With `isolatePlugins`, a plugin that crashes ends the child process only: its request is answered 500 naming the
// plugin, the way it ended and the call in progress, and a fresh child loads the plugins again with the store kept.
// Returns 0 after a clean stop, 1 when a plugin does not load or the port cannot be bound. When a plugin never
// returned from a call, the process ends here (the thread inside the plugin cannot be joined).
int Serve(const ServeOptions& options);

}  // namespace Zarvo::DevCore
