// The method codes of the core's request records and the names they stand for.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zarvo::DevCore {

// Code 8 stands for any other method, whose name travels as text beside it.
inline constexpr uint32_t kOtherMethod = 8;

// 1 "DELETE", 2 "GET", 3 "HEAD", 4 "OPTIONS", 5 "PATCH", 6 "POST", 7 "PUT"; 8 for every other name.
uint32_t MethodCode(std::string_view method);

// The name of codes 1 to 7; "" for every other code. The view is of a static text.
std::string_view MethodName(uint32_t code);

}  // namespace Zarvo::DevCore
