// The optional error of a parameter conversion; when it is not set the conversion succeeded.
#pragma once

#include <cstdint>

namespace Zarvo {

struct ParameterError {
    bool isSet = false;
    int32_t code = 0;
    const char* message = nullptr;
};

}  // namespace Zarvo
