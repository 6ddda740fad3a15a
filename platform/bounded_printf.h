// printf into a fixed buffer, cut to fit and always NUL-terminated.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace Zarvo {

// Returns the number of characters written, or -1 when the output did not fit and was cut.
int BoundedPrintf(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int BoundedVPrintf(char* buffer, size_t size, const char* format, va_list arguments);

}  // namespace Zarvo
