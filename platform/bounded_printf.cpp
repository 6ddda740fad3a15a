#include "platform/bounded_printf.h"

#include <cstdio>

namespace Zarvo {

int BoundedVPrintf(char* buffer, size_t size, const char* format, va_list arguments) {
    if (size == 0) return -1;
    int length = std::vsnprintf(buffer, size, format, arguments);
    if (length < 0) {
        buffer[0] = '\0';
        return -1;
    }
    return static_cast<size_t>(length) < size ? length : -1;
}

int BoundedPrintf(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = BoundedVPrintf(buffer, size, format, arguments);
    va_end(arguments);
    return length;
}

}  // namespace Zarvo
