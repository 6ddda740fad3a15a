#include "platform/log.h"

#include "platform/bounded_printf.h"
#include "platform/logger.h"

namespace Zarvo {

void LogV(LogLevel level, uint32_t categoryLow, uint32_t categoryHigh, const char* format, va_list arguments) {
    Logger* logger = Logger::Get();
    if (!logger || !logger->Accepts(level, CategoryMask(categoryLow, categoryHigh))) return;
    char message[LogBufferSize];
    BoundedVPrintf(message, sizeof message, format, arguments);
    const LogEntry entry{Platform::ReadLocalTime(), level, categoryLow, categoryHigh, message};
    logger->Deliver(entry);
}

void LogFormat(LogLevel level, uint32_t categoryLow, uint32_t categoryHigh, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    LogV(level, categoryLow, categoryHigh, format, arguments);
    va_end(arguments);
}

}  // namespace Zarvo
