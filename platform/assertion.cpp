#include "platform/assertion.h"

#include <algorithm>
#include <cstring>

#include "platform/bounded_printf.h"
#include "platform/log.h"

namespace Zarvo {
namespace {

bool Given(const char* text) { return text && text[0]; }

}  // namespace

void ReportAssertion(const char* expression, const char* description, const char* file, uint32_t line,
                     const char* function) {
    char text[LogBufferSize];
    size_t length = 0;
    auto append = [&](const char* part) {
        const size_t count = std::min(std::strlen(part), sizeof text - 1 - length);
        std::memcpy(text + length, part, count);
        length += count;
    };
    append("Assertion failed!\n\n");
    if (Given(file)) {
        append("File: ");
        append(file);
        append("\n");
    }
    if (line != 0) {
        char number[16];
        BoundedPrintf(number, sizeof number, "%u", static_cast<unsigned>(line));
        append("Line: ");
        append(number);
        append("\n\n");
    }
    if (Given(function)) {
        append("Function: ");
        append(function);
        append("\n\n");
    }
    if (Given(expression)) {
        append("Expression: ");
        append(expression);
    }
    if (Given(description)) {
        append("\n\nDescription: ");
        append(description);
    }
    text[length] = '\0';
    LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::DBG), 0, "%s", text);
}

}  // namespace Zarvo
