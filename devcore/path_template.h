// A function's path template as the core matches request paths against it: "{name}" takes one path segment,
// "{+name}" any text, "/" included but no line break, and "{#name}" such text after a "#"; every other byte stands
// for itself.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Zarvo::DevCore {

class PathTemplate {
public:
    explicit PathTemplate(std::string_view text);

    // Whether the whole path matches. When it does and `capturedLength` is given, it receives the total length of the
    // percent-decoded values the parameters captured (a later parameter of the same name replacing an earlier one's
    // value): the smaller it is, the more specific the template is for the path. Takes time proportional to the
    // path's length times the template's, with no recursion.
    bool Match(std::string_view path, size_t* capturedLength = nullptr) const;
    // Whether a match captures anything: false for a template without parameters.
    bool HasParameters() const;

private:
    struct Piece {
        enum class Kind { Literal, Segment, Any } kind;
        std::string literal;  // Literal: the bytes that must follow
        size_t parameter;     // Segment, Any: the index of its parameter
    };
    std::optional<std::string> literal_;  // the whole template when it has no parameter syntax at all
    std::vector<Piece> pieces_;
    std::vector<std::string> parameterNames_;  // one per closed parameter, in template order
};

// "+" becomes a space and "%" with two more bytes the byte they spell in hexadecimal (any other byte counting as
// 16); a "%" with fewer than two bytes after it is dropped.
std::string PercentDecoded(std::string_view text);

}  // namespace Zarvo::DevCore
