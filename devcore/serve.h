// devcore serve: the test core with its plugins' routes served over HTTP on 127.0.0.1.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace Zarvo::DevCore {

struct ServeOptions {
    int port = 0;  // 0: a free port, chosen by the system
    std::vector<std::string> plugins;
    bool verbose = false;         // tell the story on the output
    std::ostream* out = nullptr;  // where the address, the story and errors go; standard output when null
    bool stopOnSignals = true;    // SIGINT and SIGTERM stop the server
    // Called once the server listens, with its port and a function that stops it from any thread.
    std::function<void(int port, std::function<void()> stop)> listening;
};

// Serves until stopped. Routes of the loaded plugins are called with the request's method, path, query, headers and
// body; their responses are answered as JSON ({"error": text} for an error) with the response's status. On paths
// no plugin serves, the resource store answers: PUT stores a value (Create or Update event), POST stores it with a
// Create event, DELETE removes it (Delete event), GET reads it; bodies are JSON, or YAML or MessagePack by content
// type. GET /events is a Server-Sent Events stream of every event the plugins send. Returns 0 after a clean stop,
// 1 when a plugin does not load or the port cannot be bound.
int Serve(const ServeOptions& options);

}  // namespace Zarvo::DevCore
