// Marks pooled memory that is not handed out, so that AddressSanitizer builds catch reads of released blocks.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define KIV_POISONING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_POISONING 1
#endif
#endif

#ifdef KIV_POISONING
#include <sanitizer/asan_interface.h>
#endif

namespace Zarvo {

inline void PoisonMemory([[maybe_unused]] const void* start, [[maybe_unused]] size_t size) noexcept {
#ifdef KIV_POISONING
    __asan_poison_memory_region(start, size);
#endif
}

inline void UnpoisonMemory([[maybe_unused]] const void* start, [[maybe_unused]] size_t size) noexcept {
#ifdef KIV_POISONING
    __asan_unpoison_memory_region(start, size);
#endif
}

}  // namespace Zarvo
