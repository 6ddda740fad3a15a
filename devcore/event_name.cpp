#include "devcore/event_name.h"

namespace Zarvo::DevCore {

std::string EventNameForUri(std::string_view uri) {
    std::string name = "OnJsonApiEvent";
    size_t kept = 0;
    size_t limit = 3;
    for (size_t start = 0; start <= uri.size() && kept < limit;) {
        size_t end = uri.find('/', start);
        if (end == std::string_view::npos) end = uri.size();
        const std::string_view piece = uri.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        // Configuration entries are told apart by namespace and key, two pieces deeper than other resources.
        if (kept == 0 && piece == "kiv-platform-config") limit = 5;
        name += '_';
        name += piece;
        ++kept;
    }
    return name;
}

}  // namespace Zarvo::DevCore
