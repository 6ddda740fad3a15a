#include "devcore/json_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "formats/json_reader.h"

namespace Zarvo::DevCore {
namespace {

TEST(JsonTextTest, WritesEveryKindCompactly) {
    BindingProperty value;
    value.ChildForWrite("b").SetBool(true);
    value.ChildForWrite("i").SetSigned(-5);
    value.ChildForWrite("u").SetUnsigned(18446744073709551615u);
    value.ChildForWrite("f").SetDouble(0.5);
    value.ChildForWrite("nan").SetDouble(std::nan(""));
    value.ChildForWrite("s").SetString("a\"\n");
    const uint8_t bytes[] = {0xff, 0x00, 0x41, 0x42};
    value.ChildForWrite("blob").SetBlob(bytes, sizeof bytes);
    value.ChildForWrite("e").SetEnum(3, nullptr);
    value.ChildForWrite("list").Element(1).SetString("x");
    value.ChildForWrite("");
    EXPECT_EQ(ToJsonText(value),
              R"({"":null,"b":true,"blob":"/wBBQg==","e":3,"f":0.5,"i":-5,"list":[null,"x"],"nan":null,)"
              R"("s":"a\"\n","u":18446744073709551615})");
    EXPECT_EQ(ToJsonText(BindingProperty()), "null");
}

TEST(JsonTextTest, DeepNestingNeedsNoCallStack) {
    BindingProperty root;
    BindingProperty* node = &root;
    for (int depth = 0; depth < 100000; ++depth) node = &node->Element(0);
    const std::string text = ToJsonText(root);
    EXPECT_EQ(text.size(), 200004u);
    EXPECT_EQ(text.substr(99998, 6), "[[null");
}

}  // namespace
}  // namespace Zarvo::DevCore
