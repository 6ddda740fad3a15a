// Output of Windows programs read as the tests expect it: lines ended by '\n'.
#pragma once

#include <string>

namespace Zarvo::DevCore::Testing {

// The text with each CR LF, which Windows programs end their lines with, written '\n'.
inline std::string WithLineFeeds(std::string text) {
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
    return text;
}

}  // namespace Zarvo::DevCore::Testing
