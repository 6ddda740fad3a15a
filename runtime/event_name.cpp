#include "runtime/event_name.h"

#include <cstddef>

namespace Zarvo::Client {

std::string EventNameForUri(std::string_view uri) {
    std::string name(kJsonApiEventName);
    size_t maxPieces = 3;
    size_t pieces = 0;
    size_t start = 0;
    while (start <= uri.size() && pieces < maxPieces) {
        size_t end = uri.find('/', start);
        if (end == std::string_view::npos) end = uri.size();
        if (end > start) {
            const std::string_view piece = uri.substr(start, end - start);
            if (pieces == 0 && piece == "kiv-platform-config") maxPieces = 5;
            name += '_';
            name += piece;
            ++pieces;
        }
        start = end + 1;
    }
    return name;
}

}  // namespace Zarvo::Client
