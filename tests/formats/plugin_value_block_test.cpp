#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "binding/registration.h"
#include "formats/json_reader.h"
#include "formats/plugin_value.h"
#include "formats/plugin_value_block.h"
#include "platform/allocation.h"

namespace Zarvo {
namespace {

using namespace std::literals;

enum class Shade : int32_t { Dark = 1, Light = 2 };

// The records as the core reads them, spelled out: kinds, counts, scalars, the bytes of every text and key, and the
// key ownership flags. Fields of the packed records are read by value.
std::string Spell(const PluginValue& value) {
    const uint32_t kind = value.kind;
    const PluginValueSpan span = value.payload.span;
    std::string text = std::to_string(kind) + ":";
    switch (kind) {
        case PluginValueBool: return text + std::to_string(+value.payload.boolean);
        case PluginValueSigned: return text + std::to_string(+value.payload.i64);
        case PluginValueUnsigned: return text + std::to_string(+value.payload.u64);
        case PluginValueFloat: return text + std::to_string(+value.payload.f64);
        case PluginValueOwnedString:
        case PluginValueOwnedBytes:
            if (!span.data) return text + "null/" + std::to_string(span.count);
            return text + "'" + std::string(static_cast<const char*>(span.data), span.count) + "'";
        case PluginValueArray:
            text += std::to_string(span.count) + (span.data ? "[" : "null[");
            for (uint32_t i = 0; i < span.count; ++i) text += Spell(static_cast<const PluginValue*>(span.data)[i]) + ",";
            return text + "]";
        case PluginValueObject:
            text += std::to_string(span.count) + (span.data ? "{" : "null{");
            for (uint32_t i = 0; i < span.count; ++i) {
                const PluginValueEntry& entry = static_cast<const PluginValueEntry*>(span.data)[i];
                text += std::string(entry.key) + "/" + std::to_string(+entry.ownsKey) + "=" + Spell(entry.value) + ",";
            }
            return text + "}";
        default: return text;
    }
}

struct HeapCount {
    uint64_t allocations;
    uint64_t releases;
};

HeapCount Count() {
    const AllocationStatistics& statistics = ProcessAllocationStatistics();
    return {statistics.allocations.load(), statistics.releases.load()};
}

// Every tree reads exactly as ToPluginValue writes it, from one block (none for a value without storage) that the
// release gives back.
TEST(PluginValueBlock, ReadsAsTheRecordsOneByOneFromOneBlock) {
    BindingRegistry registry;
    registry.Enum<Shade>("Shade").Value("Dark", Shade::Dark).Value("Light", Shade::Light);
    std::vector<std::pair<std::string, BindingProperty>> trees;
    for (const char* json : {"null", "true", "-5", "18446744073709551615", "0.5", "\"\"", "\"text\"", "[]", "{}",
                             "[[],{},[[]]]", R"({"b":[1,"two",{"c":null}],"a":{"":"empty key","x":[]}})",
                             R"([{"id":1,"summonerLevel":5},{"id":2,"summonerLevel":6}])"}) {
        BindingResult parsed = ParseJson(json);
        ASSERT_TRUE(parsed.ok) << json;
        trees.emplace_back(json, std::move(parsed.value));
    }
    BindingProperty withNul;
    withNul.ChildForWrite("ke\0y"sv).Element(0).SetString("te\0xt"sv);
    trees.emplace_back("texts and keys with a NUL inside", std::move(withNul));
    BindingProperty kinds;
    const uint8_t bytes[] = {0, 0xFF, 'a'};
    kinds.Element(0).SetBlob(bytes, sizeof bytes);
    kinds.Element(1).SetBlob(nullptr, 0);
    kinds.Element(2).SetEnum(2, &StaticType::HashCode<Shade>());
    kinds.Element(3).SetEnum(9, &StaticType::HashCode<Shade>());
    trees.emplace_back("bytes and enumerations", std::move(kinds));
    BindingProperty bytesAlone;
    bytesAlone.SetBlob(bytes, sizeof bytes);
    trees.emplace_back("bytes at the root", std::move(bytesAlone));

    for (const auto& [name, tree] : trees) {
        PluginValue expected{};
        ToPluginValue(expected, tree, &registry);
        const HeapCount before = Count();
        PluginValue block{};
        WritePluginValueBlock(block, tree, &registry);
        const HeapCount written = Count();
        EXPECT_EQ(Spell(block), Spell(expected)) << name;
        const uint32_t kind = block.kind;
        const bool stored = kind >= PluginValueOwnedString && block.payload.span.data != nullptr;
        EXPECT_EQ(written.allocations - before.allocations, stored ? 1u : 0u) << name;
        ReleasePluginValueBlock(block);
        EXPECT_EQ(+block.kind, uint32_t{PluginValueNull}) << name;
        EXPECT_EQ(+block.payload.u64, 0u) << name;
        EXPECT_EQ(Count().releases - written.releases, stored ? 1u : 0u) << name;
        ClearPluginValue(expected);
    }
}

TEST(PluginValueBlock, DeepAndWideTreesAreWrittenWithoutRecursion) {
    BindingProperty deep;
    BindingProperty* node = &deep;
    for (int depth = 0; depth < 200000; ++depth) node = &node->ChildForWrite("k").Element(0);
    node->SetString("leaf");
    PluginValue value{};
    WritePluginValueBlock(value, deep, nullptr);
    const PluginValue* record = &value;
    int depth = 0;
    for (; record->kind == PluginValueObject; ++depth) {
        const auto* entry = static_cast<const PluginValueEntry*>(record->payload.span.data);
        record = static_cast<const PluginValue*>(entry->value.payload.span.data);
    }
    EXPECT_EQ(depth, 200000);
    EXPECT_EQ(std::string_view(static_cast<const char*>(record->payload.span.data), record->payload.span.count), "leaf");
    ReleasePluginValueBlock(value);

    BindingProperty wide;
    for (int i = 0; i < 5000; ++i) wide.Element(i).Element(0).SetSigned(i);
    WritePluginValueBlock(value, wide, nullptr);
    BindingProperty back;
    std::string error;
    EXPECT_TRUE(FromPluginValue(error, back, value, "<result>"));
    EXPECT_EQ(back.Size(), 5000u);
    EXPECT_EQ(back.At(4999).At(0).GetSigned(0), 4999);
    ReleasePluginValueBlock(value);
}

}  // namespace
}  // namespace Zarvo
