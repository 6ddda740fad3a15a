// The texts of a log line: level names, time stamps and the line pattern of the console targets.
#pragma once

#include <cstddef>

#include "platform/log.h"

namespace Zarvo {

// Six characters, padded on the left: "  OKAY", "  WARN", " ERROR", "ALWAYS"; "??????" for any other value.
const char* LevelName(LogLevel level);

// "2024-05-06T07:08:09.010"; returns BoundedPrintf's result.
int FormatTimestamp(char* buffer, size_t size, const Platform::LocalTime& time);
// "2024-05-06T07-08-09", fit for file names.
int FormatFileTimestamp(char* buffer, size_t size, const Platform::LocalTime& time);

// Writes the entry by the pattern's tokens (#D time, #E executable, #G categories, #H seconds since the first
// reading, #L level, #M message, #T thread; # before any other character writes that character), ending the
// line with exactly one line feed, which takes the last character's place when the buffer runs full.
// Returns the length of the line.
size_t FormatLine(char* buffer, size_t size, const char* pattern, const LogEntry& entry);

}  // namespace Zarvo
