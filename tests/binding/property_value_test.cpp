#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "binding/property.h"

namespace Zarvo {
namespace {

using Kind = BindingProperty::Kind;

TEST(PropertyValue, KindNamesFollowTheKindNumbers) {
    const char* names[] = {"empty",  "bool", "signed", "unsigned",   "float",
                           "string", "blob", "enum",   "collection", "structure"};
    for (int kind = 0; kind < 10; ++kind) EXPECT_STREQ(BindingProperty::KindName(static_cast<Kind>(kind)), names[kind]);
    EXPECT_STREQ(BindingProperty::KindName(static_cast<Kind>(10)), "");
    EXPECT_STREQ(BindingProperty().KindName(), "empty");
}

TEST(PropertyValue, IntegersKeepTheirSignedness) {
    BindingProperty value;
    value.SetSigned(int32_t{-1});
    EXPECT_EQ(value.GetKind(), Kind::Signed);
    EXPECT_EQ(value.GetSigned(0), -1);
    value.SetUnsigned(uint32_t{0xFFFFFFFF});
    EXPECT_EQ(value.GetKind(), Kind::Unsigned);
    EXPECT_EQ(value.GetUnsigned(0), 0xFFFFFFFFu);
    EXPECT_EQ(value.GetSigned(7), 7) << "getters answer only for their exact kind";
}

TEST(PropertyValue, GettersReturnTheDefaultForAnyOtherKind) {
    BindingProperty value;
    value.SetDouble(2.5);
    EXPECT_EQ(value.GetDouble(0), 2.5);
    EXPECT_EQ(value.GetSigned(-3), -3);
    EXPECT_EQ(value.GetUnsigned(4), 4u);
    EXPECT_EQ(value.GetString("none"), "none");
    EXPECT_TRUE(value.GetBool(true));
    EXPECT_TRUE(value.GetBlob().empty());
    EXPECT_EQ(value.EnumType(), nullptr);
    value.SetString("text");
    EXPECT_EQ(value.GetString("none"), "text");
    EXPECT_EQ(value.GetDouble(1.5), 1.5);
}

TEST(PropertyValue, SizeByKind) {
    BindingProperty value;
    EXPECT_EQ(value.Size(), 0u);
    value.SetBool(false);
    EXPECT_EQ(value.Size(), 1u);
    value.SetString("four");
    EXPECT_EQ(value.Size(), 4u);
    const uint8_t bytes[] = {1, 2, 3};
    value.SetBlob(bytes, 3);
    EXPECT_EQ(value.Size(), 3u);
    EXPECT_EQ(value.GetBlob()[2], 3);
    value.SetEnum(5, nullptr);
    EXPECT_EQ(value.Size(), 1u);
    EXPECT_EQ(value.EnumValue(), 5);
    value.Element(1);
    EXPECT_EQ(value.Size(), 2u);
    value.ChildForWrite("a");
    EXPECT_EQ(value.Size(), 1u);
}

BindingProperty Make(Kind kind, double number, const char* text = "") {
    BindingProperty value;
    switch (kind) {
        case Kind::Bool: value.SetBool(number != 0); break;
        case Kind::Signed: value.SetSigned(static_cast<int64_t>(number)); break;
        case Kind::Unsigned: value.SetUnsigned(static_cast<uint64_t>(number)); break;
        case Kind::Float: value.SetDouble(number); break;
        case Kind::String: value.SetString(text); break;
        case Kind::Blob: {
            const uint8_t bytes[4] = {};
            value.SetBlob(bytes, static_cast<size_t>(number));
            break;
        }
        case Kind::Enum: value.SetEnum(static_cast<int32_t>(number), nullptr); break;
        case Kind::Collection:
            value.MakeCollection();
            if (number) value.Element(static_cast<size_t>(number) - 1);
            break;
        case Kind::Structure:
            value.MakeStructure();
            if (number) value.ChildForWrite("k");
            break;
        default: break;
    }
    return value;
}

TEST(PropertyValue, TruthinessAndDefaultness) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        Kind kind;
        double number;
        const char* text;
        bool truthy;
        bool isDefault;
    } cases[] = {
        {Kind::Empty, 0, "", false, true},       {Kind::Bool, 1, "", true, false},
        {Kind::Bool, 0, "", false, true},        {Kind::Signed, -1, "", true, false},
        {Kind::Signed, 0, "", false, true},      {Kind::Unsigned, 2, "", true, false},
        {Kind::Unsigned, 0, "", false, true},    {Kind::Float, 0.5, "", true, false},
        {Kind::Float, 0.0, "", false, true},     {Kind::Float, -0.0, "", false, true},
        {Kind::Float, nan, "", true, false},     {Kind::String, 0, "true", true, false},
        {Kind::String, 0, "1", true, false},     {Kind::String, 0, "yes", false, false},
        {Kind::String, 0, "TRUE", false, false}, {Kind::String, 0, "2", false, false},
        {Kind::String, 0, "", false, true},      {Kind::Blob, 2, "", true, false},
        {Kind::Blob, 0, "", false, true},        {Kind::Enum, 3, "", true, false},
        {Kind::Enum, 0, "", false, true},        {Kind::Collection, 1, "", true, false},
        {Kind::Collection, 0, "", false, true},  {Kind::Structure, 1, "", true, false},
        {Kind::Structure, 0, "", false, true},
    };
    for (const Case& c : cases) {
        BindingProperty value = Make(c.kind, c.number, c.text);
        ASSERT_EQ(value.GetKind(), c.kind);
        EXPECT_EQ(value.AsBool(), c.truthy) << value.KindName() << " " << c.number << " '" << c.text << "'";
        EXPECT_EQ(value.IsDefault(), c.isDefault) << value.KindName() << " " << c.number << " '" << c.text << "'";
    }
}

TEST(PropertyValue, AsUnsigned64ByKind) {
    const uint64_t fallback = 99;
    struct Case {
        Kind kind;
        double number;
        const char* text;
        uint64_t expected;
    } cases[] = {
        {Kind::Empty, 0, "", fallback},
        {Kind::Bool, 1, "", 1},
        {Kind::Signed, -1, "", UINT64_MAX},
        {Kind::Unsigned, 12, "", 12},
        {Kind::Float, 3.9, "", 3},
        {Kind::Float, -0.5, "", 0},
        {Kind::Float, -2.0, "", static_cast<uint64_t>(-2)},
        {Kind::Float, 1e30, "", UINT64_MAX},
        {Kind::Float, -1e30, "", uint64_t{1} << 63},
        {Kind::Float, std::numeric_limits<double>::quiet_NaN(), "", 0},
        {Kind::Float, std::numeric_limits<double>::infinity(), "", UINT64_MAX},
        {Kind::String, 0, "0x10", 16},
        {Kind::String, 0, "010", 8},
        {Kind::String, 0, "12abc", 12},
        {Kind::String, 0, "abc", 0},
        {Kind::String, 0, "-1", UINT64_MAX},
        {Kind::String, 0, "99999999999999999999999", UINT64_MAX},
        {Kind::Enum, -1, "", UINT64_MAX},
        {Kind::Blob, 1, "", fallback},
        {Kind::Collection, 1, "", fallback},
        {Kind::Structure, 1, "", fallback},
    };
    for (const Case& c : cases) {
        BindingProperty value = Make(c.kind, c.number, c.text);
        EXPECT_EQ(value.AsUnsigned64(fallback), c.expected) << value.KindName() << " " << c.number << " '" << c.text << "'";
    }
}

TEST(PropertyValue, SettersReplaceTheWholeValue) {
    BindingProperty value;
    value.ChildForWrite("a").Element(2).SetString("deep");
    value.SetSigned(4);
    EXPECT_EQ(value.GetKind(), Kind::Signed);
    EXPECT_TRUE(value.Child("a").IsEmpty());
    value.Clear();
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_NE(value.Context(), nullptr) << "clearing keeps the context";
}

}  // namespace
}  // namespace Zarvo
