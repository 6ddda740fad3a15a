// The pattern of a path template with parameters: literal texts with one capture between each two, matched
// against whole paths without recursion, in time linear in the path for a given template (at most the path's size
// times the template's in byte comparisons, and as many bytes of working memory per capture after the first).
//
//   /files/{id}/{+rest}   "/files/", a segment, "/", any text, ""
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Zarvo {

struct RouteParameter {
    enum Kind : uint32_t {
        // Only a "}" outside a parameter records this kind; it adds no capture.
        NoGroup = 0,
        // {name}: one path segment, possibly empty.
        Segment = 1,
        // {+name}: any text, "/" included.
        Reserved = 2,
        // {#name}: the text after a literal "#".
        Fragment = 3,
    };
    uint32_t kind = NoGroup;
    std::string name;
};

// Where one capture lies in the matched path.
struct CaptureSpan {
    size_t offset;
    size_t length;
};

class PathPattern {
public:
    PathPattern() = default;
    // Reads the template in one pass: "{" opens a parameter (a second "{" restarts it and keeps the name read so
    // far), a "+" or "#" first in a name chooses its kind, and "}" closes it. Every "}" adds an entry to
    // `parameters`, in template order; one outside a parameter adds a NoGroup entry and no capture, so the names
    // of later captures shift against their parameters. A parameter left open at the end is dropped.
    PathPattern(std::string_view pathTemplate, std::vector<RouteParameter>& parameters);

    // Whether the whole path matches. On success `captures` holds one span per capture in template order: each
    // capture takes the longest text that still lets the rest of the path match, the first capture first.
    // A segment takes no "/"; any-text and fragment captures take no line break (CR or LF). Throws std::bad_alloc
    // when the working memory of a template with several captures cannot be had.
    bool Match(std::string_view path, std::vector<CaptureSpan>& captures) const;

private:
    // Everything is compared byte by byte; literals_ holds one text more than there are captures.
    std::vector<std::string> literals_{std::string()};
    std::vector<uint32_t> captureKinds_;
};

}  // namespace Zarvo
