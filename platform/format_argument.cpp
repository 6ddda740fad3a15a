#include "platform/format_argument.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "platform/bounded_printf.h"

namespace Zarvo::FormatDetail {
namespace {

constexpr uint64_t kCountCeiling = uint64_t{1} << 40;

// What a completed placeholder asks for, read back from its spec.
struct SpecFields {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    bool hasWidth = false;
    bool hasPrecision = false;
    uint64_t width = 0;
    uint64_t precision = 0;
    char shortModifier[3] = {};  // "h" or "hh" as written; every other modifier gives way to the argument's own

    bool Plain() const {
        return !left && !plus && !space && !alternate && !zero && !hasWidth && !hasPrecision && !shortModifier[0];
    }
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

uint64_t ReadCount(const char*& p, const char* end) {
    uint64_t count = 0;
    for (; p < end && IsDigit(*p); ++p) count = std::min(count * 10 + (*p - '0'), kCountCeiling);
    return count;
}

SpecFields ReadSpec(const PlaceholderContext& context) {
    SpecFields fields;
    const char* p = context.spec + 1;
    // The written conversion letter is the spec's last character; the argument decides the letter itself.
    const char* end = context.spec + context.specLength - (context.conversion != '\0' ? 1 : 0);
    uint32_t star = 0;
    auto nextStar = [&]() -> int64_t { return star < context.starCount ? context.starValues[star++] : 0; };
    for (; p < end; ++p) {
        if (*p == '-') fields.left = true;
        else if (*p == '+') fields.plus = true;
        else if (*p == ' ') fields.space = true;
        else if (*p == '#') fields.alternate = true;
        else if (*p == '0') fields.zero = true;
        else break;
    }
    if (p < end && *p == '*') {
        ++p;
        int64_t width = nextStar();
        fields.hasWidth = true;
        fields.left = fields.left || width < 0;
        fields.width = static_cast<uint64_t>(width < 0 ? -width : width);
    } else if (p < end && IsDigit(*p)) {
        fields.hasWidth = true;
        fields.width = ReadCount(p, end);
    }
    if (p < end && *p == '.') {
        ++p;
        if (p < end && *p == '*') {
            ++p;
            int64_t precision = nextStar();
            fields.hasPrecision = precision >= 0;  // a negative precision counts as none, as in printf
            fields.precision = fields.hasPrecision ? static_cast<uint64_t>(precision) : 0;
        } else {
            fields.hasPrecision = true;
            fields.precision = ReadCount(p, end);
        }
    }
    for (size_t i = 0; i < 2 && p < end && *p == 'h'; ++i, ++p) fields.shortModifier[i] = 'h';
    return fields;
}

// The written letter when the argument accepts it, else the argument's default. The `n` conversion (store the
// count) is never passed on: it yields '\0' and the placeholder writes nothing.
char ChooseConversion(PlaceholderContext& context, const char* allowed) {
    const char given = context.conversion;
    context.allowedLetters = allowed;
    if (given == 'n') {
        context.spec[0] = '\0';
        context.specLength = 0;
        context.conversion = '\0';
        return '\0';
    }
    context.conversion = given != '\0' && std::strchr(allowed, given) != nullptr ? given : allowed[0];
    return context.conversion;
}

int32_t CutOrCount(const PlaceholderContext& context, uint64_t needed) {
    return needed >= context.remaining ? static_cast<int32_t>(context.remaining) : static_cast<int32_t>(needed);
}

// Up to five pieces spelled as one text, which ends at the first NUL as a C string would.
class TextPieces {
public:
    void Add(const char* text, size_t length) {
        if (ended_ || count_ == kMaxPieces) return;
        if (const void* nul = std::memchr(text, '\0', length)) {
            length = static_cast<size_t>(static_cast<const char*>(nul) - text);
            ended_ = true;
        }
        pieces_[count_++] = {text, length};
        length_ += length;
    }
    size_t Length() const { return length_; }
    void CopyTo(char* out, size_t length) const {
        for (size_t i = 0; i < count_ && length > 0; ++i) {
            size_t part = std::min(length, pieces_[i].size());
            std::memcpy(out, pieces_[i].data(), part);
            out += part;
            length -= part;
        }
    }

private:
    static constexpr size_t kMaxPieces = 5;
    std::string_view pieces_[kMaxPieces];
    size_t count_ = 0;
    size_t length_ = 0;
    bool ended_ = false;
};

// printf's "%s" over the pieces: precision cuts the text, width pads it with blanks.
int32_t WritePieces(PlaceholderContext& context, const SpecFields& fields, const TextPieces& pieces) {
    const uint64_t shown = fields.hasPrecision ? std::min<uint64_t>(pieces.Length(), fields.precision)
                                               : pieces.Length();
    const uint64_t padding = fields.hasWidth && fields.width > shown ? fields.width - shown : 0;
    char* out = context.out;
    uint64_t room = context.remaining - 1;
    auto pad = [&] {
        size_t blanks = static_cast<size_t>(std::min(padding, room));
        std::memset(out, ' ', blanks);
        out += blanks;
        room -= blanks;
    };
    if (!fields.left) pad();
    size_t copied = static_cast<size_t>(std::min(shown, room));
    pieces.CopyTo(out, copied);
    out += copied;
    room -= copied;
    if (fields.left) pad();
    return CutOrCount(context, padding + shown);
}

int32_t ClampCount(uint64_t count, uint64_t ceiling) {
    return static_cast<int32_t>(std::min({count, ceiling, uint64_t{std::numeric_limits<int32_t>::max()}}));
}

// Builds the printf spec from the fields and passes width and precision as `*` values. Both are capped at a size
// beyond which the visible, cut output no longer changes, so printf neither fails on them nor works for long.
template <class V>
int32_t Print(PlaceholderContext& context, const SpecFields& fields, const char* modifier, char letter, V value) {
    char spec[16];
    char* s = spec;
    *s++ = '%';
    if (fields.left) *s++ = '-';
    if (fields.plus) *s++ = '+';
    if (fields.space) *s++ = ' ';
    if (fields.alternate) *s++ = '#';
    if (fields.zero) *s++ = '0';
    int32_t stars[2];
    int starCount = 0;
    const uint64_t remaining = context.remaining;
    if (fields.hasWidth) {
        *s++ = '*';
        stars[starCount++] = ClampCount(fields.width, 2 * remaining + 4096);
    }
    if (fields.hasPrecision) {
        *s++ = '.';
        *s++ = '*';
        stars[starCount++] = ClampCount(fields.precision, remaining + 2048);
    }
    while (*modifier != '\0') *s++ = *modifier++;
    *s++ = letter;
    *s = '\0';
    int length;
    if (starCount == 0) length = BoundedPrintf(context.out, context.remaining, spec, value);
    else if (starCount == 1) length = BoundedPrintf(context.out, context.remaining, spec, stars[0], value);
    else length = BoundedPrintf(context.out, context.remaining, spec, stars[0], stars[1], value);
    if (length >= 0) return length;
    // Cut output keeps its first character; a printf failure leaves an empty text and stops the formatting.
    return context.out[0] != '\0' ? static_cast<int32_t>(context.remaining) : -1;
}

constexpr const char* kIntegerLetters[] = {"dciouxX", "ucdioxX", "cdiouxX", "dciouxX", "ucdioxX"};

}  // namespace

int32_t WriteInteger(PlaceholderContext& context, IntegerKind kind, uint64_t bits) {
    const bool wide = kind == IntegerKind::Signed64 || kind == IntegerKind::Unsigned64;
    context.defaultModifier = wide ? "ll" : "";
    const SpecFields fields = ReadSpec(context);
    const char letter = ChooseConversion(context, kIntegerLetters[static_cast<int>(kind)]);
    if (letter == '\0') return 0;
    const auto narrow = static_cast<uint32_t>(bits);
    if (fields.Plain() && (letter == 'd' || letter == 'i' || letter == 'u')) {
        char digits[24];
        char* end = digits + sizeof digits;
        if (letter == 'u') end = wide ? std::to_chars(digits, end, bits).ptr : std::to_chars(digits, end, narrow).ptr;
        else if (wide) end = std::to_chars(digits, end, static_cast<int64_t>(bits)).ptr;
        else end = std::to_chars(digits, end, static_cast<int32_t>(narrow)).ptr;
        TextPieces pieces;
        pieces.Add(digits, static_cast<size_t>(end - digits));
        return WritePieces(context, fields, pieces);
    }
    // The value goes to printf with the modifier of its own width; a written "h" or "hh" narrows it further.
    if (letter == 'c') return Print(context, fields, "", letter, static_cast<int>(narrow));
    if (fields.shortModifier[0] != '\0') return Print(context, fields, fields.shortModifier, letter, static_cast<int>(narrow));
    if (wide) return Print(context, fields, "ll", letter, static_cast<long long>(bits));
    return Print(context, fields, "", letter, static_cast<int>(narrow));
}

int32_t WriteFloating(PlaceholderContext& context, double value) {
    const SpecFields fields = ReadSpec(context);
    const char letter = ChooseConversion(context, "gaefGAEF");
    if (letter == '\0') return 0;
    return Print(context, fields, "", letter, value);
}

int32_t WriteText(PlaceholderContext& context, const char* text, size_t length) {
    const SpecFields fields = ReadSpec(context);
    if (ChooseConversion(context, "s") == '\0') return 0;
    TextPieces pieces;
    pieces.Add(text, length);
    return WritePieces(context, fields, pieces);
}

// A null C string spells as the empty text.
int32_t FormatCString(PlaceholderContext& context) {
    const char* text = *static_cast<const char* const*>(context.value);
    if (text == nullptr) text = "";
    return WriteText(context, text, std::strlen(text));
}

int32_t FormatStdString(PlaceholderContext& context) {
    const auto& text = *static_cast<const std::string*>(context.value);
    return WriteText(context, text.data(), text.size());
}

int32_t FormatStringView(PlaceholderContext& context) {
    const auto& text = *static_cast<const std::string_view*>(context.value);
    return WriteText(context, text.data(), text.size());
}

// "major.minor.patch", then "-" and the pre-release text and "+" and the build text when they are not empty.
int32_t FormatVersion(PlaceholderContext& context) {
    const SpecFields fields = ReadSpec(context);
    if (ChooseConversion(context, "s") == '\0') return 0;
    const auto& version = *static_cast<const Version*>(context.value);
    char numbers[33];  // three 32-bit numbers and two dots
    const int length = BoundedPrintf(numbers, sizeof numbers, "%u.%u.%u", version.major, version.minor, version.patch);
    TextPieces pieces;
    pieces.Add(numbers, static_cast<size_t>(length));
    if (!version.preRelease.empty()) {
        pieces.Add("-", 1);
        pieces.Add(version.preRelease.data(), version.preRelease.size());
    }
    if (!version.build.empty()) {
        pieces.Add("+", 1);
        pieces.Add(version.build.data(), version.build.size());
    }
    return WritePieces(context, fields, pieces);
}

// "Success" when no error is set, else "message (code)"; a null message spells as the empty text.
int32_t FormatParameterError(PlaceholderContext& context) {
    const SpecFields fields = ReadSpec(context);
    if (ChooseConversion(context, "s") == '\0') return 0;
    const auto& error = *static_cast<const ParameterError*>(context.value);
    TextPieces pieces;
    char code[12];
    if (!error.isSet) {
        pieces.Add("Success", 7);
    } else {
        const char* message = error.message != nullptr ? error.message : "";
        pieces.Add(message, std::strlen(message));
        pieces.Add(" (", 2);
        pieces.Add(code, static_cast<size_t>(std::to_chars(code, code + sizeof code, error.code).ptr - code));
        pieces.Add(")", 1);
    }
    return WritePieces(context, fields, pieces);
}

int32_t NotAnInteger(const void*) { return 0; }

}  // namespace Zarvo::FormatDetail
