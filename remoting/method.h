// The request methods of the remoting layer: one code per method, shared by the core's request record, the
// transport request and a function's remoting binding.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zarvo {

enum class Method : uint32_t {
    None = 0,
    Delete = 1,
    Get = 2,
    Head = 3,
    Options = 4,
    Patch = 5,
    Post = 6,
    Put = 7,
    // Any other method; its name travels as text beside the code.
    Other = 8,
};

// A code outside 1..8 reads as None.
Method MethodFromCode(uint32_t code) noexcept;

// "DELETE" ... "PUT" for the codes 1..7; "" for every other code, None and Other included.
std::string_view MethodName(Method method) noexcept;

}  // namespace Zarvo
