// The request record a bound function may take as its first parameter.
#pragma once

#include <cstdint>
#include <string>

#include "remoting/argument_binding.h"
#include "remoting/method.h"

namespace Zarvo {

class BindingRegistry;

struct RemotingRequest {
    uint32_t requestId = 0;
    // The registry of the called function.
    const BindingRegistry* registry = nullptr;
    // System clock at dispatch, in 100-nanosecond units since 1970-01-01.
    uint64_t timestamp = 0;
    Method method = Method::None;
    // Set only for Method::Other.
    std::string methodName;
    // As the core delivered it, query included.
    std::string path;
    // A later header of the same name replaces an earlier one.
    TextMap headers;
};

}  // namespace Zarvo
