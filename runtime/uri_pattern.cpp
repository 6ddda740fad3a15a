#include "runtime/uri_pattern.h"

#include <cstddef>

namespace Zarvo::Client {

bool MatchesUriPattern(std::string_view pattern, std::string_view uri) {
    size_t at = 0;
    for (const char c : pattern) {
        if (c == '*') {
            if (at == uri.size()) return false;
            while (at < uri.size() && uri[at] != '/') ++at;
        } else {
            if (at == uri.size() || uri[at] != c) return false;
            ++at;
        }
    }
    return at == uri.size();
}

}  // namespace Zarvo::Client
