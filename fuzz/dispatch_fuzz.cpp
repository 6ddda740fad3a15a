// Matches a path against an arbitrary template with the route's matcher and with the regular-expression reference,
// which must agree on the match and on every capture; then dispatches a request made of the same input through the
// dispatch callback. The first byte picks the route, the method code and the content type; the bytes up to the
// first 0xFF form the path, those up to the next the value of a header, those up to the next the template, the
// rest the body (in a buffer of exactly its length).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "binding/registration.h"
#include "remoting/dispatch.h"
#include "remoting/route_builder.h"
#include "remoting/transport.h"
#include "remoting/route_regex_reference.h"

namespace {

using namespace Zarvo;

struct Ack {
    bool seen = false;
    uint32_t level = 0;
    std::vector<std::string> names;
};

struct Target {
    HttpBaseTransport transport;
    std::vector<void*> contexts;

    Target() {
        transport.Registry().Record<Ack>("Ack").Field("seen", &Ack::seen).Field("level", &Ack::level).Field("names", &Ack::names);
        transport.Route(Method::Get, "/f/{id}", [](const std::string& id, uint32_t limit, const Ack& filter) {
            return Ack{!id.empty(), limit + filter.level, filter.names};
        }, PathArgument("id"), QueryArgument("limit", "", true), Argument("filter", "", true));
        transport.Route(Method::Post, "/f/{id}/{+rest}", [](const std::string&, const std::string&, const Ack& ack) {
            return ack.names;
        }, PathArgument("id"), PathArgument("rest"), BodyArgument("ack"));
        transport.Route("LINK", "/f{#frag}", [](const RemotingRequest& request, const std::string& trace) {
            return request.path + trace;
        }, HeaderArgument("x-trace", "", true));
        transport.Route(Method::None, "/f.literal", [] {});
        const PluginApiDescription& description = transport.BuildApiDescription();
        for (const ApiFunctionEntry* entry = description.functions; entry; entry = entry->next) {
            void* context = entry->function.dispatchContext;  // copied out of the packed record
            contexts.push_back(context);
        }
    }
};

// The bytes from the cursor up to the next 0xFF (or the end); the cursor moves past that byte.
std::string Piece(const uint8_t*& cursor, const uint8_t* end) {
    const auto* stop = static_cast<const uint8_t*>(std::memchr(cursor, 0xFF, static_cast<size_t>(end - cursor)));
    std::string piece(cursor, stop ? stop : end);
    cursor = stop ? stop + 1 : end;
    return piece;
}

// The reference recurses once per byte of the path and tries every split between its captures: it is asked only
// where that stays small, up to about 2^22 splits and 512 bytes.
bool ReferenceCanAnswer(size_t pathSize, size_t groups) {
    if (pathSize > 512) return false;
    double splits = 1;
    for (size_t i = 0; i < groups; ++i) splits *= static_cast<double>(pathSize + 1);
    return splits <= 4194304.0;
}

std::string Spelled(bool matched, const TextMap& captured) {
    if (!matched) return "no match";
    std::map<std::string, std::string> ordered(captured.begin(), captured.end());
    std::string text;
    for (const auto& [name, value] : ordered) text += name + "=" + value + ";";
    return text;
}

void CompareWithReference(const std::string& pathTemplate, const std::string& path) {
    if (pathTemplate.size() > 64) return;
    const Testing::RegexRoute reference(pathTemplate);
    if (!ReferenceCanAnswer(path.size(), reference.GroupCount())) return;
    const RemotingRoute route(nullptr, nullptr, pathTemplate);
    TextMap expected, captured;
    const std::string want = Spelled(reference.MatchPath(path, expected), expected);
    const std::string got = Spelled(route.MatchPath(path, captured), captured);
    if (want != got) {
        std::fprintf(stderr, "template %zu bytes, path %zu bytes: the reference gives %s, the route %s\n",
                     pathTemplate.size(), path.size(), want.c_str(), got.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Target target;
    static const char* const contentTypes[] = {nullptr, "application/json", "application/x-yaml",
                                               "application/x-msgpack"};
    if (size == 0) return 0;
    const uint8_t choice = data[0];
    const uint8_t* cursor = data + 1;
    const uint8_t* end = data + size;
    const std::string path = Piece(cursor, end);
    const std::string header = Piece(cursor, end);
    const std::string pathTemplate = Piece(cursor, end);
    CompareWithReference(pathTemplate, path);
    const size_t bodyLength = static_cast<size_t>(end - cursor);
    auto body = std::make_unique<uint8_t[]>(bodyLength);
    if (bodyLength) std::memcpy(body.get(), cursor, bodyLength);

    const PluginHeaderPair headers[] = {{"x-trace", header.c_str()}, {"x-trace", nullptr}};
    PluginRequestRecord request{};
    request.method = choice % 10;
    request.methodName = choice & 0x10 ? "LINK" : nullptr;
    request.path = path.c_str();
    request.dispatchContext = target.contexts[(choice >> 5) % target.contexts.size()];
    request.headers = headers;
    request.headerCount = choice & 0x20 ? 2 : 1;
    request.contentType = contentTypes[(choice >> 2) % 4];
    request.body = body.get();
    request.bodyLength = static_cast<uint32_t>(bodyLength);

    PluginResponseRecord response{};
    DispatchCallback(&response, &request);
    if (response.stream) response.streamRelease(response.stream);
    response.free(&response);
    return 0;
}
