#include "remoting/method.h"

namespace Zarvo {

Method MethodFromCode(uint32_t code) noexcept {
    return code <= static_cast<uint32_t>(Method::Other) ? static_cast<Method>(code) : Method::None;
}

std::string_view MethodName(Method method) noexcept {
    switch (method) {
        case Method::Delete: return "DELETE";
        case Method::Get: return "GET";
        case Method::Head: return "HEAD";
        case Method::Options: return "OPTIONS";
        case Method::Patch: return "PATCH";
        case Method::Post: return "POST";
        case Method::Put: return "PUT";
        default: return "";
    }
}

}  // namespace Zarvo
