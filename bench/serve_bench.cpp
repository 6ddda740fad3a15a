// Requests per second of devcore serve over loopback, beside the rate of the plugin's own dispatch callback, in one
// run: the level-up plugin's GET of an acknowledgement, called directly, through the test core, and over HTTP on one
// kept-alive connection, on many connections at once, and on a new connection per request.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devcore/serve.h"
#include "devcore/test_core.h"

namespace {

using namespace Zarvo::DevCore;
using Zarvo::BindingProperty;
namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

constexpr const char* kRoute = "/kiv-player-level-up/v1/level-up-notifications/kiv-toast";

// A login and a game with a level gain: the plugin then has a level-up to answer the route with.
void LevelUp(TestCore& core) {
    BindingProperty session;
    session.ChildForWrite("state").SetString("SUCCEEDED");
    core.Put("/kiv-login/v1/session", session);
    BindingProperty stats;
    stats.ChildForWrite("leveledUp").SetBool(true);
    stats.ChildForWrite("previousLevel").SetUnsigned(4);
    core.Put("/kiv-end-of-game/v1/eog-stats-block", stats, "Create");
}

// The plugin driven through its own dispatch callback, with the in-process table of a test core as its core.
class DirectPlugin {
public:
    DirectPlugin() {
        void* library = dlopen(KIV_PLUGIN_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        auto load = reinterpret_cast<PluginLoadFunction>(dlsym(library, "load_kiv_player_level_up"));
        PluginLoadBlock block{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
        load(&block);
        entries_ = block.entryTable;
        instance_ = block.instance;
        init_ = core_.InitBlock();
        entries_->Init(instance_, &init_);
        const PluginApiDescription* description = block.description;
        for (const ApiFunctionEntry* entry = description->functions; entry; entry = entry->next)
            if (entry->method == 2 && std::string_view(entry->path).ends_with("{pluginName}")) entry_ = entry;
        LevelUp(core_);
    }
    ~DirectPlugin() { entries_->Destroy(instance_); }

    const ApiFunctionEntry& Entry() const { return *entry_; }

private:
    TestCore core_;
    const PluginEntryTable* entries_ = nullptr;
    void* instance_ = nullptr;
    PluginInitBlock init_{};
    const ApiFunctionEntry* entry_ = nullptr;
};

// devcore serve with the level-up plugin on a free port, on a thread of its own, while the benchmark runs.
class Server {
public:
    Server() {
        std::promise<std::pair<int, std::function<void()>>> listening;
        options_.plugins = {KIV_PLUGIN_LIBRARY};
        options_.out = &output_;
        options_.stopOnSignals = false;
        options_.limits.connections = 256;
        options_.listening = [&](int port, std::function<void()> stop) { listening.set_value({port, stop}); };
        thread_ = std::thread([this] { Serve(options_); });
        std::tie(port_, stop_) = listening.get_future().get();
        Store("PUT", "/kiv-login/v1/session", R"({"state":"SUCCEEDED"})");
        Store("POST", "/kiv-end-of-game/v1/eog-stats-block", R"({"leveledUp":true,"previousLevel":4})");
    }
    ~Server() {
        stop_();
        thread_.join();
    }
    tcp::endpoint Endpoint() const {
        return {net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port_)};
    }

private:
    void Store(const char* method, const char* path, const char* json) const {
        net::io_context context;
        tcp::socket socket(context);
        socket.connect(Endpoint());
        http::request<http::string_body> request{http::string_to_verb(method), path, 11};
        request.set(http::field::host, "127.0.0.1");
        request.set(http::field::content_type, "application/json");
        request.body() = json;
        request.prepare_payload();
        http::write(socket, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(socket, buffer, response);
    }

    ServeOptions options_;
    std::ostringstream output_;
    std::thread thread_;
    int port_ = 0;
    std::function<void()> stop_;
};

http::request<http::empty_body> Request() {
    http::request<http::empty_body> request{http::verb::get, kRoute, 11};
    request.set(http::field::host, "127.0.0.1");
    return request;
}

void DispatchCallback(benchmark::State& state) {
    DirectPlugin plugin;
    const ApiFunctionEntry& entry = plugin.Entry();
    PluginRequestRecord request{};
    request.method = 2;
    request.path = kRoute;
    request.dispatchContext = entry.function.dispatchContext;
    for (auto _ : state) {
        PluginResponseRecord response{};
        entry.dispatch(&response, &request);
        const uint8_t refused = response.errorFlag;
        if (refused) state.SkipWithError("the plugin refused the request");
        response.free(&response);
    }
    state.SetItemsProcessed(state.iterations());
}

void TestCoreCall(benchmark::State& state) {
    TestCore core;
    std::string error;
    if (!core.Load(KIV_PLUGIN_LIBRARY, &error)) state.SkipWithError(error.c_str());
    LevelUp(core);
    for (auto _ : state) {
        if (core.Call({"GET", kRoute}).status != 200) state.SkipWithError("the request failed");
        core.ForgetRecords();
    }
    state.SetItemsProcessed(state.iterations());
}

void KeptAlive(benchmark::State& state) {
    Server server;
    net::io_context context;
    tcp::socket socket(context);
    socket.connect(server.Endpoint());
    socket.set_option(tcp::no_delay(true));
    beast::flat_buffer buffer;
    const auto request = Request();
    for (auto _ : state) {
        http::write(socket, request);
        http::response<http::string_body> response;
        http::read(socket, buffer, response);
        if (response.result_int() != 200) state.SkipWithError("the request failed");
    }
    state.SetItemsProcessed(state.iterations());
}

// One request per connection and iteration, all connections at once, each kept alive.
void ManyConnections(benchmark::State& state) {
    Server server;
    net::io_context context;
    struct Client {
        explicit Client(net::io_context& context) : socket(context) {}
        tcp::socket socket;
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
    };
    std::vector<std::unique_ptr<Client>> clients;
    for (int64_t i = 0; i < state.range(0); ++i) {
        clients.push_back(std::make_unique<Client>(context));
        clients.back()->socket.connect(server.Endpoint());
        clients.back()->socket.set_option(tcp::no_delay(true));
    }
    const auto request = Request();
    bool failed = false;
    for (auto _ : state) {
        for (auto& client : clients) {
            http::async_write(client->socket, request, [&, c = client.get()](beast::error_code error, size_t) {
                if (error) failed = true;
                c->response = {};
                http::async_read(c->socket, c->buffer, c->response, [&, c](beast::error_code read, size_t) {
                    if (read || c->response.result_int() != 200) failed = true;
                });
            });
        }
        context.restart();
        context.run();
    }
    if (failed) state.SkipWithError("a request failed");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void NewConnectionEach(benchmark::State& state) {
    Server server;
    net::io_context context;
    const auto request = Request();
    for (auto _ : state) {
        tcp::socket socket(context);
        socket.connect(server.Endpoint());
        http::write(socket, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(socket, buffer, response);
        if (response.result_int() != 200) state.SkipWithError("the request failed");
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(DispatchCallback);
BENCHMARK(TestCoreCall);
BENCHMARK(KeptAlive)->UseRealTime();
BENCHMARK(ManyConnections)->Arg(16)->Arg(64)->UseRealTime();
BENCHMARK(NewConnectionEach)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
