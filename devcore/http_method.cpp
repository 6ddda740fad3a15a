#include "devcore/http_method.h"

namespace Zarvo::DevCore {
namespace {

constexpr std::string_view kNames[] = {"", "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT"};

}  // namespace

uint32_t MethodCode(std::string_view method) {
    for (uint32_t code = 1; code <= 7; ++code)
        if (kNames[code] == method) return code;
    return kOtherMethod;
}

std::string_view MethodName(uint32_t code) { return code <= 7 ? kNames[code] : std::string_view(); }

}  // namespace Zarvo::DevCore
