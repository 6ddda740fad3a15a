#include <gtest/gtest.h>

#include <cstddef>

#include "abi/plugin_abi.h"

extern "C" size_t kiv_abi_c_value_size(void);

// The 32-bit offsets are asserted in the header itself; here both languages must agree on the native layout.
TEST(AbiLayout, CAndCppAgree) {
    EXPECT_EQ(kiv_abi_c_value_size(), sizeof(PluginValue) + sizeof(PluginResponseRecord));
}

TEST(AbiLayout, PointerFieldsTakeTheNativeWidth) {
    constexpr size_t p = sizeof(void*);
    EXPECT_EQ(sizeof(PluginValue), 4 + (p == 4 ? 8 : p + 4));
    EXPECT_EQ(sizeof(PluginLoadBlock), 12 + 4 * p);
    EXPECT_EQ(sizeof(PluginCoreApi), 10 * p);
    EXPECT_EQ(offsetof(PluginResponseRecord, errorFlag), sizeof(PluginValue) + p);
}
