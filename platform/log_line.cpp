#include "platform/log_line.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "platform/bounded_printf.h"
#include "platform/clock.h"
#include "platform/log_categories.h"
#include "platform/logger.h"

namespace Zarvo {
namespace {

constexpr const char* TimestampFormat = "%04d-%02d-%02dT%02d:%02d:%02d.%03d";

// Appends to a buffer of at least one byte, cutting at size - 1 and keeping the text NUL-terminated.
class LineWriter {
public:
    LineWriter(char* buffer, size_t size) : buffer_(buffer), size_(size) { buffer_[0] = '\0'; }

    size_t Room() const { return size_ - length_; }

    void Put(char c) {
        if (Room() < 2) return;
        buffer_[length_++] = c;
        buffer_[length_] = '\0';
    }

    void Append(const char* text) {
        const size_t count = std::min(std::strlen(text), Room() - 1);
        std::memcpy(buffer_ + length_, text, count);
        length_ += count;
        buffer_[length_] = '\0';
    }

    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list arguments;
        va_start(arguments, format);
        BoundedVPrintf(buffer_ + length_, Room(), format, arguments);
        va_end(arguments);
        length_ += std::strlen(buffer_ + length_);
    }

    void Categories(uint32_t low, uint32_t high) { length_ += FormatCategories(buffer_ + length_, Room(), low, high); }

    size_t EndLine() {
        if (length_ > 0 && buffer_[length_ - 1] == '\n') return length_;
        if (Room() >= 2) buffer_[length_++] = '\n';
        else if (length_ > 0) buffer_[length_ - 1] = '\n';  // the buffer ran full
        buffer_[length_] = '\0';
        return length_;
    }

private:
    char* buffer_;
    size_t size_;
    size_t length_ = 0;
};

void WriteToken(LineWriter& out, char token, const LogEntry& entry) {
    const Platform::LocalTime& t = entry.time;
    switch (token) {
    case 'D':
        out.Printf(TimestampFormat, t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
        break;
    case 'E':
        if (const Logger* logger = Logger::Get()) out.Append(logger->ExecutableName());
        break;
    case 'G':
        out.Categories(entry.categoryLow, entry.categoryHigh);
        break;
    case 'H': {
        const float seconds = static_cast<float>(SecondsSinceStart());
        const int whole = static_cast<int>(seconds);
        out.Printf("%06d.%03d", whole, static_cast<int>((seconds - static_cast<float>(whole)) * 1000.0f));
        break;
    }
    case 'L':
        out.Append(LevelName(entry.level));
        break;
    case 'M':
        out.Append(entry.message ? entry.message : "");
        break;
    case 'T':
        out.Printf("%08X", static_cast<unsigned>(Platform::CurrentThreadId()));
        break;
    default:
        out.Put(token);
    }
}

}  // namespace

const char* LevelName(LogLevel level) {
    static constexpr const char* names[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
    const auto index = static_cast<uint32_t>(level);
    return index < 4 ? names[index] : "??????";
}

int FormatTimestamp(char* buffer, size_t size, const Platform::LocalTime& t) {
    return BoundedPrintf(buffer, size, TimestampFormat, t.year, t.month, t.day, t.hour, t.minute, t.second,
                         t.millisecond);
}

int FormatFileTimestamp(char* buffer, size_t size, const Platform::LocalTime& t) {
    return BoundedPrintf(buffer, size, "%04d-%02d-%02dT%02d-%02d-%02d", t.year, t.month, t.day, t.hour, t.minute,
                         t.second);
}

size_t FormatLine(char* buffer, size_t size, const char* pattern, const LogEntry& entry) {
    if (size == 0) return 0;
    LineWriter out(buffer, size);
    for (const char* p = pattern ? pattern : ""; *p && out.Room() >= 2; ++p) {
        if (p[0] == '#' && p[1]) WriteToken(out, *++p, entry);
        else out.Put(*p);
    }
    return out.EndLine();
}

}  // namespace Zarvo
