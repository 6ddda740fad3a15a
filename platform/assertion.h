// Assertion reports: the text of a failed check, logged as an error. The program goes on.
#pragma once

#include <cstdint>

namespace Zarvo {

// Every part but the expression is optional: null or empty texts and line 0 are left out.
void ReportAssertion(const char* expression, const char* description = nullptr, const char* file = nullptr,
                     uint32_t line = 0, const char* function = nullptr);

}  // namespace Zarvo
