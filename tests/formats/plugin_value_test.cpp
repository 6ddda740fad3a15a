#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string_view>

#include "binding/registration.h"
#include "formats/plugin_value.h"
#include "platform/allocation.h"
#include "support/describe.h"

namespace Zarvo {
namespace {

using Testing::Describe;

enum class Color : int32_t { Red = 0, Green = 7 };

// Fields of the packed records are read by value (with unary +): gtest would bind misaligned references to them.
std::string_view Text(const PluginValue& value) {
    return {static_cast<const char*>(value.payload.span.data), value.payload.span.count};
}

TEST(PluginValue, StructureBecomesOwnedEntriesAndClearReleasesAll) {
    BindingProperty tree;
    tree.ChildForWrite("a").SetUnsigned(1);
    tree.ChildForWrite("b").Element(0).SetString("x");
    const auto& stats = ProcessAllocationStatistics();
    uint64_t allocationsBefore = stats.allocations, releasesBefore = stats.releases;

    PluginValue value{};
    EXPECT_TRUE(ToPluginValue(value, tree, nullptr));
    ASSERT_EQ(+value.kind, uint32_t{PluginValueObject});
    ASSERT_EQ(+value.payload.span.count, 2u);
    auto* entries = static_cast<const PluginValueEntry*>(value.payload.span.data);
    EXPECT_STREQ(entries[0].key, "a");
    EXPECT_EQ(+entries[0].ownsKey, 1);
    EXPECT_EQ(+entries[0].value.kind, uint32_t{PluginValueUnsigned});
    EXPECT_EQ(+entries[0].value.payload.u64, 1u);
    EXPECT_STREQ(entries[1].key, "b");
    ASSERT_EQ(+entries[1].value.kind, uint32_t{PluginValueArray});
    auto* elements = static_cast<const PluginValue*>(entries[1].value.payload.span.data);
    EXPECT_EQ(+elements[0].kind, uint32_t{PluginValueOwnedString});
    EXPECT_EQ(Text(elements[0]), "x");

    ClearPluginValue(value);
    EXPECT_EQ(+value.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(+value.payload.u64, 0u);
    // Two keys, the string, the element array and the entry array.
    EXPECT_EQ(stats.allocations - allocationsBefore, 5u);
    EXPECT_EQ(stats.releases - releasesBefore, 5u);
}

// Found by fuzzing: clearing wrote only the first byte of the payload, leaving the rest of a number behind.
TEST(PluginValue, ClearZeroesTheWholePayload) {
    PluginValue value{PluginValueSigned, {}};
    value.payload.i64 = -1;
    ClearPluginValue(value);
    EXPECT_EQ(+value.kind, uint32_t{PluginValueNull});
    EXPECT_EQ(+value.payload.u64, 0u);
}

TEST(PluginValue, ScalarsAndBlobsTravelByKind) {
    struct Case {
        BindingProperty property;
        uint32_t kind;
    };
    BindingProperty flag, negative, ratio, bytes, empty;
    flag.SetBool(true);
    negative.SetSigned(-5);
    ratio.SetDouble(0.5);
    const uint8_t raw[] = {0, 0xFF};
    bytes.SetBlob(raw, 2);
    for (const auto& [property, kind] : {Case{empty, PluginValueNull}, Case{flag, PluginValueBool},
                                        Case{negative, PluginValueSigned}, Case{ratio, PluginValueFloat},
                                        Case{bytes, PluginValueOwnedBytes}}) {
        PluginValue value{};
        ToPluginValue(value, property, nullptr);
        EXPECT_EQ(+value.kind, kind);
        BindingProperty back;
        std::string error;
        EXPECT_TRUE(FromPluginValue(error, back, value, "x"));
        EXPECT_EQ(Describe(back), Describe(property));
        ClearPluginValue(value);
    }
}

TEST(PluginValue, EnumTravelsAsItsEnumeratorNameWhenTheRegistryNamesIt) {
    BindingRegistry registry;
    registry.Enum<Color>("Color").Value("Red", Color::Red).Value("Green", Color::Green);
    struct Case {
        int32_t number;
        const BindingRegistry* registry;
        uint32_t kind;
        std::string_view name;
    };
    for (const auto& c : {Case{7, &registry, PluginValueOwnedString, "Green"}, Case{3, &registry, PluginValueSigned, ""},
                          Case{7, nullptr, PluginValueSigned, ""}}) {
        BindingProperty property;
        property.SetEnum(c.number, &StaticType::HashCode<Color>());
        PluginValue value{};
        ToPluginValue(value, property, c.registry);
        EXPECT_EQ(+value.kind, c.kind) << c.number;
        if (c.kind == PluginValueOwnedString) EXPECT_EQ(Text(value), c.name);
        else EXPECT_EQ(+value.payload.i64, c.number);
        ClearPluginValue(value);
    }
}

// A text from the core ends at its first NUL or at its length word, whichever comes first; a length word of 0
// leaves the NUL alone to end it. Each text lies in a heap block of exactly its bytes, so a read past the block
// is an error under the address sanitizer.
TEST(PluginValue, CoreTextEndsAtItsNulOrItsLengthWord) {
    using namespace std::literals;
    const struct {
        std::string_view bytes;
        uint32_t length;
        const char* expected;
    } cases[] = {
        {"ab\0"sv, 5, "\"ab\""},
        {"abc"sv, 3, "\"abc\""},
        {"abcdef"sv, 3, "\"abc\""},
        {"ab\0cd"sv, 5, "\"ab\""},
        {"abc\0"sv, 0, "\"abc\""},
        {"abc\0"sv, 0xFFFFFFFF, "\"abc\""},
        {"\0"sv, 1, "\"\""},
    };
    for (uint32_t kind : {PluginValueBorrowedString, PluginValueOwnedString}) {
        for (const auto& c : cases) {
            auto block = std::make_unique<char[]>(c.bytes.size());
            c.bytes.copy(block.get(), c.bytes.size());
            PluginValue value{kind, {}};
            value.payload.span = {block.get(), c.length};
            BindingProperty property;
            std::string error;
            EXPECT_TRUE(FromPluginValue(error, property, value, "<result>"));
            EXPECT_EQ(Describe(property), c.expected) << c.bytes << " with length " << c.length;
        }
    }
    PluginValue missing{PluginValueBorrowedString, {}};
    missing.payload.span = {nullptr, 5};
    BindingProperty property;
    std::string error;
    EXPECT_TRUE(FromPluginValue(error, property, missing, "<result>"));
    EXPECT_EQ(Describe(property), "\"\"");
}

TEST(PluginValue, UnknownKindFailsAndKeepsWhatCameBefore) {
    PluginValue elements[2] = {{PluginValueSigned, {}}, {12, {}}};
    elements[0].payload.i64 = 4;
    PluginValue array{PluginValueArray, {}};
    array.payload.span = {elements, 2};
    BindingProperty property;
    std::string error;
    EXPECT_FALSE(FromPluginValue(error, property, array, "<result>"));
    EXPECT_EQ(error, "Couldn't assign value to '<result>' of type object because the input is of an incompatible type ''.");
    EXPECT_EQ(Describe(property), "[i4,~]");
}

TEST(PluginValue, RepeatedKeyAddressesTheSameMember) {
    PluginValueEntry entries[3] = {{"k", {PluginValueSigned, {}}, 0}, {"j", {PluginValueBool, {}}, 0},
                                   {"k", {PluginValueSigned, {}}, 0}};
    entries[0].value.payload.i64 = 1;
    entries[2].value.payload.i64 = 2;
    PluginValue object{PluginValueObject, {}};
    object.payload.span = {entries, 3};
    BindingProperty property;
    std::string error;
    EXPECT_TRUE(FromPluginValue(error, property, object, "<result>"));
    EXPECT_EQ(Describe(property), "{j:false,k:i2}");
}

TEST(PluginValue, DeepTreesConvertAndClearWithoutRecursion) {
    BindingProperty tree;
    BindingProperty* node = &tree;
    for (int depth = 0; depth < 200000; ++depth) node = &node->Element(0);
    node->SetString("leaf");
    PluginValue value{};
    ToPluginValue(value, tree, nullptr);
    BindingProperty back;
    std::string error;
    EXPECT_TRUE(FromPluginValue(error, back, value, "<result>"));
    ClearPluginValue(value);
    const BindingProperty* leaf = &back;
    while (leaf->GetKind() == BindingProperty::Kind::Collection) leaf = &leaf->At(0);
    EXPECT_EQ(leaf->GetString(), "leaf");
}

}  // namespace
}  // namespace Zarvo
