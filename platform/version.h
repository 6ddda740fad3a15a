// A version record: major.minor.patch, then an optional pre-release text and an optional build text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace Zarvo {

struct Version {
    Version() = default;
    Version(uint32_t major, uint32_t minor, uint32_t patch, std::string preRelease = {}, std::string build = {})
        : major(major), minor(minor), patch(patch), preRelease(std::move(preRelease)), build(std::move(build)) {}

    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
    std::string preRelease;
    std::string build;
};

}  // namespace Zarvo
