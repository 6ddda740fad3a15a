#include "devcore/path_template.h"

#include <map>

namespace Zarvo::DevCore {
namespace {

unsigned HexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return 16;
}

// "{+name}" and "{#name}" take any text but a line break, as "." does in the routes' regular-expression grammar.
bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c != '%') {
            decoded += c;
        } else if (i + 2 < text.size()) {
            decoded += static_cast<char>((HexDigit(text[i + 1]) << 4 | HexDigit(text[i + 2])) & 0xFF);
            i += 2;
        }  // a "%" with fewer than two bytes after it is dropped; those bytes are copied
    }
    return decoded;
}

PathTemplate::PathTemplate(std::string_view text) {
    if (text.find('{') == std::string_view::npos) {
        literal_ = std::string(text);
        return;
    }
    enum State { kOutside, kSimple, kReserved, kFragment } state = kOutside;
    std::string name;
    std::string literal;
    auto flushLiteral = [&] {
        if (!literal.empty()) pieces_.push_back({Piece::Kind::Literal, std::move(literal), 0});
        literal.clear();
    };
    for (const char c : text) {
        if (c == '{') {
            state = kSimple;  // a "{" inside a parameter starts it again, keeping the name read so far
        } else if (c == '}') {
            // A "}" outside a parameter still counts as a parameter, of no name and without a capture.
            const size_t index = parameterNames_.size();
            parameterNames_.push_back(std::move(name));
            name.clear();
            if (state == kFragment) literal += '#';
            if (state != kOutside) {
                flushLiteral();
                pieces_.push_back({state == kSimple ? Piece::Kind::Segment : Piece::Kind::Any, {}, index});
            }
            state = kOutside;
        } else if (state == kOutside) {
            literal += c;
        } else if (state == kSimple && name.empty() && c == '+') {
            state = kReserved;
        } else if (state == kSimple && name.empty() && c == '#') {
            state = kFragment;
        } else {
            name += c;
        }
    }
    flushLiteral();  // an unclosed parameter adds nothing
}

bool PathTemplate::HasParameters() const {
    for (const Piece& piece : pieces_)
        if (piece.kind != Piece::Kind::Literal) return true;
    return false;
}

bool PathTemplate::Match(std::string_view path, size_t* capturedLength) const {
    if (literal_) {
        if (path != *literal_) return false;
        if (capturedLength) *capturedLength = 0;
        return true;
    }
    // fits[p * stride + i]: the pieces from i on match the path from byte p on. Worked out from the end, so that the
    // captures can then be chosen front to back, each as long as the rest still allows.
    const size_t n = path.size();
    const size_t stride = pieces_.size() + 1;
    std::vector<bool> fits((n + 1) * stride, false);
    auto at = [&](size_t p, size_t i) { return fits[p * stride + i]; };
    fits[n * stride + pieces_.size()] = true;
    for (size_t i = pieces_.size(); i-- > 0;) {
        const Piece& piece = pieces_[i];
        for (size_t p = n + 1; p-- > 0;) {
            bool value = false;
            switch (piece.kind) {
                case Piece::Kind::Literal:
                    value = path.substr(p).starts_with(piece.literal) && at(p + piece.literal.size(), i + 1);
                    break;
                case Piece::Kind::Segment: value = at(p, i + 1) || (p < n && path[p] != '/' && at(p + 1, i)); break;
                case Piece::Kind::Any: value = at(p, i + 1) || (p < n && !IsLineBreak(path[p]) && at(p + 1, i)); break;
            }
            fits[p * stride + i] = value;
        }
    }
    if (!at(0, 0)) return false;
    if (!capturedLength) return true;

    std::map<std::string_view, size_t> captured;  // decoded length by parameter name
    size_t p = 0;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        const Piece& piece = pieces_[i];
        if (piece.kind == Piece::Kind::Literal) {
            p += piece.literal.size();
            continue;
        }
        size_t longest = piece.kind == Piece::Kind::Segment ? path.find('/', p) : path.find_first_of("\n\r", p);
        if (longest == std::string_view::npos) longest = n;
        size_t end = longest;
        while (!at(end, i + 1)) --end;  // at(p, i) holds, so some end from p on fits
        captured[parameterNames_[piece.parameter]] = PercentDecoded(path.substr(p, end - p)).size();
        p = end;
    }
    size_t total = 0;
    for (const auto& [name, length] : captured) total += length;
    *capturedLength = total;
    return true;
}

}  // namespace Zarvo::DevCore
