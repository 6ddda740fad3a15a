#include "devcore/loopback_names.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace Zarvo::DevCore {
namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// Nothing, or ":" and a port number from 1 to 65535.
bool IsPortOrNothing(std::string_view rest) {
    if (rest.empty()) return true;
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) return false;
    unsigned port = 0;
    for (char c : rest.substr(1)) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + static_cast<unsigned>(c - '0');
    }
    return port >= 1 && port <= 65535;
}

bool IsNameWithPort(std::string_view text, std::string_view name) {
    return StartsWithIgnoringCase(text, name) && IsPortOrNothing(text.substr(name.size()));
}

}  // namespace

bool IsLoopbackHost(std::string_view host) {
    static constexpr std::array<std::string_view, 3> kNames = {"localhost", "127.0.0.1", "[::1]"};
    return std::any_of(kNames.begin(), kNames.end(), [&](std::string_view name) { return IsNameWithPort(host, name); });
}

bool IsLocalOrigin(std::string_view origin) {
    return IsNameWithPort(origin, "http://localhost") || IsNameWithPort(origin, "http://127.0.0.1");
}

}  // namespace Zarvo::DevCore
