// The location code of one argument, as the binding lists them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "remoting/argument_binding.h"

namespace Zarvo {

// An argument beyond the binding's list may come from anywhere.
inline uint32_t LocationOf(const std::vector<uint32_t>& locations, size_t argument) noexcept {
    return argument < locations.size() ? locations[argument] : AnyLocation;
}

}  // namespace Zarvo
