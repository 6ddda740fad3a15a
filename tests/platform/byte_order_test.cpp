#include <gtest/gtest.h>

#include "platform/byte_order.h"

namespace Zarvo {
namespace {

static_assert(ByteSwap16(0x1234) == 0x3412);
static_assert(ByteSwap32(0x12345678u) == 0x78563412u);
static_assert(ByteSwap64(0x0102030405060708u) == 0x0807060504030201u);

TEST(ByteOrder, SwapsAtRunTime) {
    volatile uint16_t a = 0x00FF;
    volatile uint32_t b = 0xFF000080u;
    volatile uint64_t c = 0x80000000000000FFu;
    EXPECT_EQ(ByteSwap16(a), 0xFF00);
    EXPECT_EQ(ByteSwap32(b), 0x800000FFu);
    EXPECT_EQ(ByteSwap64(c), 0xFF00000000000080u);
    EXPECT_EQ(ByteSwap64(ByteSwap64(c)), c);
}

}  // namespace
}  // namespace Zarvo
