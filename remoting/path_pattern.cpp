#include "remoting/path_pattern.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/allocation.h"

namespace Zarvo {
namespace {

// Whether a capture of this kind may take the byte.
bool Takes(uint32_t kind, char byte) noexcept {
    if (kind == RouteParameter::Segment) return byte != '/';
    return byte != '\n' && byte != '\r';
}

bool TakesAll(uint32_t kind, std::string_view text) noexcept {
    if (kind == RouteParameter::Segment) return std::memchr(text.data(), '/', text.size()) == nullptr;
    return std::memchr(text.data(), '\n', text.size()) == nullptr &&
           std::memchr(text.data(), '\r', text.size()) == nullptr;
}

using Flags = std::vector<uint8_t, RuntimeAllocator<uint8_t>>;

}  // namespace

PathPattern::PathPattern(std::string_view pathTemplate, std::vector<RouteParameter>& parameters) {
    std::string name;
    uint32_t state = RouteParameter::NoGroup;
    for (char c : pathTemplate) {
        if (c == '{') {
            state = RouteParameter::Segment;
        } else if (c == '}') {
            if (state != RouteParameter::NoGroup) {
                // A fragment's "#" is literal text before its capture.
                if (state == RouteParameter::Fragment) literals_.back() += '#';
                captureKinds_.push_back(state);
                literals_.emplace_back();
            }
            parameters.push_back({state, std::move(name)});
            name.clear();
            state = RouteParameter::NoGroup;
        } else if (state == RouteParameter::NoGroup) {
            literals_.back() += c;
        } else if (state == RouteParameter::Segment && name.empty() && c == '+') {
            state = RouteParameter::Reserved;
        } else if (state == RouteParameter::Segment && name.empty() && c == '#') {
            state = RouteParameter::Fragment;
        } else {
            name += c;
        }
    }
}

bool PathPattern::Match(std::string_view path, std::vector<CaptureSpan>& captures) const {
    captures.clear();
    const size_t count = captureKinds_.size();
    if (count == 0) return path == literals_.front();
    const std::string_view head = literals_.front(), tail = literals_.back();
    if (path.size() < head.size() + tail.size() || !path.starts_with(head) || !path.ends_with(tail)) return false;
    // The captures and the literals between them tile the path from `begin` to `end`.
    const size_t begin = head.size(), end = path.size() - tail.size();
    if (count == 1) {
        if (!TakesAll(captureKinds_[0], path.substr(begin, end - begin))) return false;
        captures.push_back({begin, end - begin});
        return true;
    }

    // Positions are counted from `begin`, 0 to `width` - 1. Row k of `ends` marks where capture k may end with the
    // literal after it and every later capture and literal still matching up to `end`; it is built from the last
    // capture backwards through `starts`, the positions from which the capture after k can reach one of its ends.
    // Each row costs one pass over the positions, plus the literal's comparisons where the capture after it can
    // start.
    const size_t width = end - begin + 1;
    if (width > SIZE_MAX / count) throw std::bad_alloc();
    Flags ends((count - 1) * width);
    Flags starts(width);
    starts[width - 1] = 1;
    for (size_t p = width - 1; p-- > 0;) starts[p] = starts[p + 1] && Takes(captureKinds_.back(), path[begin + p]);
    for (size_t k = count - 1; k-- > 0;) {
        const std::string_view literal = literals_[k + 1];
        uint8_t* row = &ends[k * width];
        for (size_t p = 0; p + literal.size() < width; ++p)
            row[p] = starts[p + literal.size()] && path.compare(begin + p, literal.size(), literal) == 0;
        if (k == 0) break;
        starts[width - 1] = row[width - 1];
        for (size_t p = width - 1; p-- > 0;)
            starts[p] = row[p] || (starts[p + 1] && Takes(captureKinds_[k], path[begin + p]));
    }

    // Forwards: each capture runs over the bytes it may take and stops at the farthest end its row allows, so
    // earlier captures take the longest text.
    size_t at = 0;
    for (size_t k = 0; k + 1 < count; ++k) {
        const uint8_t* row = &ends[k * width];
        size_t farthest = width;
        for (size_t p = at;; ++p) {
            if (row[p]) farthest = p;
            if (p + 1 == width || !Takes(captureKinds_[k], path[begin + p])) break;
        }
        // Only the first capture can find no end: every later one starts where the row before promised an end.
        if (farthest == width) return false;
        captures.push_back({begin + at, farthest - at});
        at = farthest + literals_[k + 1].size();
    }
    captures.push_back({begin + at, width - 1 - at});
    return true;
}

}  // namespace Zarvo
