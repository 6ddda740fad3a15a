#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/builtins.h"
#include "binding/registration.h"

namespace Zarvo {
namespace {

enum class Tone : uint8_t { Low = 1, High = 2 };

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

struct Everything {
    bool flag;
    int8_t i8;
    uint8_t u8;
    int16_t i16;
    uint16_t u16;
    int32_t i32;
    uint32_t u32;
    int64_t i64;
    uint64_t u64;
    float f32;
    double f64;
    std::string text;
    BindingProperty object;
    std::vector<uint8_t> blob;
    std::vector<std::string> texts;
    std::vector<Point> points;
    std::vector<Tone> tones;
    std::unordered_map<std::string, double> weights;
    std::unordered_map<std::string, Point> pointsByName;
    std::vector<std::vector<int32_t>> grid;
    Tone tone;
    Point origin;
};

std::vector<std::string> Names(const std::vector<const BindingTypeInfo*>& types) {
    std::vector<std::string> names;
    for (const BindingTypeInfo* type : types) names.push_back(type->name);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(BindingRegistry, GetOrCreateReportsWhetherTheNameExisted) {
    BindingRegistry registry;
    const auto created = registry.GetOrCreateType(8, "Point", StaticType::HashCode<Point>(), false);
    ASSERT_FALSE(created.existed);
    EXPECT_EQ(created.descriptor->size, 8u);
    EXPECT_EQ(created.descriptor->hashCode, StaticType::HashCode<Point>().hashCode);
    EXPECT_EQ(created.descriptor->staticType, &StaticType::HashCode<Point>());
    EXPECT_EQ(created.descriptor->registry, &registry);

    const auto again = registry.GetOrCreateType(99, "Point", StaticType::HashCode<int>(), true);
    EXPECT_TRUE(again.existed);
    EXPECT_EQ(again.descriptor, created.descriptor);
    EXPECT_EQ(again.descriptor->size, 8u);
    EXPECT_FALSE(again.descriptor->isEnum);
}

TEST(BindingRegistry, BuilderStepsOnAnExistingTypeAreSkipped) {
    BindingRegistry registry;
    registry.Record<Point>("Point").Field("x", &Point::x).Description("first").Tag("a");
    const auto second = registry.Record<Point>("Point").Field("y", &Point::y).Description("second").Tags({"b", "c"});
    EXPECT_TRUE(second.Existed());
    const BindingTypeInfo* point = registry.FindType("Point");
    ASSERT_EQ(point->fields.size(), 1u);
    EXPECT_EQ(point->fields[0].name, "x");
    EXPECT_EQ(point->description, "first");
    EXPECT_EQ(point->tags, std::vector<std::string>{"a"});

    registry.Enum<Tone>("Tone").Value("Low", Tone::Low);
    registry.Enum<Tone>("Tone").Value("High", Tone::High);
    EXPECT_EQ(registry.FindType("Tone")->values.size(), 1u);
}

TEST(BindingRegistry, TheVoidCodeIsFoundByNameButNotByStaticType) {
    BindingRegistry registry;
    registry.GetOrCreateType(0, "Nothing", StaticType::HashCode<void>(), false);
    EXPECT_NE(registry.FindType("Nothing"), nullptr);
    EXPECT_EQ(registry.FindType(StaticType::HashCode<void>()), nullptr);
}

TEST(BindingRegistry, LookupsAreExactAndNullWhenAbsent) {
    BindingRegistry registry;
    registry.Record<Point>("Point");
    EXPECT_EQ(registry.FindType(StaticType::HashCode<Everything>()), nullptr);
    EXPECT_EQ(registry.FindType("point"), nullptr);
    EXPECT_EQ(registry.FindType("Point "), nullptr);
    EXPECT_EQ(registry.FindType(StaticType::HashCode<Point>()), registry.FindType("Point"));
    EXPECT_EQ(registry.FindFunction("Point"), nullptr);
    EXPECT_EQ(registry.FindEvent("Point"), nullptr);
}

TEST(BindingRegistry, HashIndexKeepsTheLastRegistrationOfACode) {
    BindingRegistry registry;
    const auto first = registry.GetOrCreateType(4, "First", StaticType::HashCode<int>(), false);
    const auto second = registry.GetOrCreateType(4, "Second", StaticType::HashCode<int>(), false);
    EXPECT_EQ(registry.FindType(StaticType::HashCode<int>()), second.descriptor);

    // Removing the older name leaves the newer one indexed; removing the newer one empties the slot.
    EXPECT_TRUE(registry.UnregisterType("First"));
    EXPECT_EQ(registry.FindType(StaticType::HashCode<int>()), second.descriptor);
    registry.GetOrCreateType(4, "First", StaticType::HashCode<int>(), false);
    EXPECT_TRUE(registry.UnregisterType("First"));
    EXPECT_EQ(registry.FindType(StaticType::HashCode<int>()), nullptr);
    EXPECT_NE(registry.FindType("Second"), nullptr);
    (void)first;
}

TEST(BindingRegistry, SnapshotsAndUnregistration) {
    BindingRegistry registry;
    registry.Record<Point>("Point");
    registry.Enum<Tone>("Tone");
    registry.Event<Point>("OnPoint").Description("moved");
    registry.Function("Move");
    registry.Function("Stop");

    EXPECT_EQ(Names(registry.Types()), (std::vector<std::string>{"Point", "Tone"}));
    ASSERT_EQ(registry.Events().size(), 1u);
    EXPECT_EQ(registry.Events()[0]->type, registry.FindType("Point"));
    EXPECT_EQ(registry.Functions().size(), 2u);
    EXPECT_EQ(registry.FunctionCount(), 2u);

    EXPECT_TRUE(registry.UnregisterFunction("Move"));
    EXPECT_FALSE(registry.UnregisterFunction("Move"));
    EXPECT_EQ(registry.FindFunction("Move"), nullptr);
    EXPECT_EQ(registry.FunctionCount(), 1u);
    EXPECT_TRUE(registry.UnregisterEvent("OnPoint"));
    EXPECT_EQ(registry.FindEvent("OnPoint"), nullptr);
    EXPECT_TRUE(registry.UnregisterType("Point"));
    EXPECT_EQ(registry.FindType("Point"), nullptr);
    EXPECT_EQ(registry.FindType(StaticType::HashCode<Point>()), nullptr);
    EXPECT_FALSE(registry.UnregisterType("Point"));
}

TEST(BindingRegistry, EventWhosePayloadIsNotRegisteredHasNoType) {
    BindingRegistry registry;
    const auto entry = registry.GetOrCreateEvent("OnPoint", StaticType::HashCode<Point>());
    EXPECT_FALSE(entry.existed);
    EXPECT_EQ(entry.descriptor->type, nullptr);
    registry.Record<Point>("Point");
    EXPECT_TRUE(registry.GetOrCreateEvent("OnPoint", StaticType::HashCode<Point>()).existed);
}

TEST(BindingRegistry, EnumeratorsAreOrderedByNameAndFoundByValueInThatOrder) {
    enum class Alias : int32_t { One = 1 };
    BindingRegistry registry;
    registry.Enum<Alias>("Alias").Value("b", Alias::One).Value("a", Alias::One).Value("C", Alias{3});
    const BindingTypeInfo* alias = registry.FindType("Alias");
    std::vector<std::string> order;
    for (const auto& [name, value] : alias->values) order.push_back(name);
    EXPECT_EQ(order, (std::vector<std::string>{"C", "a", "b"}));
    EXPECT_EQ(alias->FindValue(1)->name, "a");
    EXPECT_EQ(alias->FindValue(2), nullptr);
    EXPECT_EQ(alias->FindValue("C")->value, 3);
}

TEST(RecordBuilder, DeducesOffsetTypeAndConverterFromEachMember) {
    BindingRegistry registry;
    registry.Enum<Tone>("Tone");
    registry.Record<Point>("Point");
    auto record = registry.Record<Everything>("Everything");
    const Everything sample{};
    const auto base = reinterpret_cast<const char*>(&sample);
    using Code = BindingTypeCode;
    const BindingTypeInfo* point = registry.FindType("Point");
    const BindingTypeInfo* tone = registry.FindType("Tone");
    struct Expected {
        const char* name;
        const void* member;
        Code code;
        Code elementCode;
        const BindingTypeInfo* descriptor;
    };
    const Expected expected[] = {
        {"flag", &sample.flag, Code::Bool, Code::None, nullptr},
        {"i8", &sample.i8, Code::Int8, Code::None, nullptr},
        {"u8", &sample.u8, Code::UInt8, Code::None, nullptr},
        {"i16", &sample.i16, Code::Int16, Code::None, nullptr},
        {"u16", &sample.u16, Code::UInt16, Code::None, nullptr},
        {"i32", &sample.i32, Code::Int32, Code::None, nullptr},
        {"u32", &sample.u32, Code::UInt32, Code::None, nullptr},
        {"i64", &sample.i64, Code::Int64, Code::None, nullptr},
        {"u64", &sample.u64, Code::UInt64, Code::None, nullptr},
        {"f32", &sample.f32, Code::Float, Code::None, nullptr},
        {"f64", &sample.f64, Code::Double, Code::None, nullptr},
        {"text", &sample.text, Code::String, Code::None, nullptr},
        {"object", &sample.object, Code::Object, Code::None, nullptr},
        {"blob", &sample.blob, Code::Blob, Code::None, nullptr},
        {"texts", &sample.texts, Code::Vector, Code::String, nullptr},
        {"points", &sample.points, Code::Vector, Code::Struct, point},
        {"tones", &sample.tones, Code::Vector, Code::Enum, tone},
        {"weights", &sample.weights, Code::Map, Code::Double, nullptr},
        {"pointsByName", &sample.pointsByName, Code::Map, Code::Struct, point},
        {"grid", &sample.grid, Code::Vector, Code::Vector, nullptr},
        {"tone", &sample.tone, Code::Enum, Code::None, tone},
        {"origin", &sample.origin, Code::Struct, Code::None, point},
    };
    record.Field("flag", &Everything::flag, "a flag", BindingFieldFlags::Required)
        .Field("i8", &Everything::i8)
        .Field("u8", &Everything::u8)
        .Field("i16", &Everything::i16)
        .Field("u16", &Everything::u16)
        .Field("i32", &Everything::i32)
        .Field("u32", &Everything::u32)
        .Field("i64", &Everything::i64)
        .Field("u64", &Everything::u64)
        .Field("f32", &Everything::f32)
        .Field("f64", &Everything::f64)
        .Field("text", &Everything::text)
        .Field("object", &Everything::object)
        .Field("blob", &Everything::blob)
        .Field("texts", &Everything::texts)
        .Field("points", &Everything::points)
        .Field("tones", &Everything::tones)
        .Field("weights", &Everything::weights)
        .Field("pointsByName", &Everything::pointsByName)
        .Field("grid", &Everything::grid)
        .Field("tone", &Everything::tone)
        .Field("origin", &Everything::origin);

    const BindingTypeInfo* everything = registry.FindType("Everything");
    EXPECT_EQ(everything->size, sizeof(Everything));
    ASSERT_EQ(everything->fields.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const BindingFieldInfo& field = everything->fields[i];
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(field.name, expected[i].name);
        EXPECT_EQ(field.nameHash, Fnv1a(expected[i].name));
        EXPECT_EQ(field.offset, static_cast<uint32_t>(static_cast<const char*>(expected[i].member) - base));
        EXPECT_EQ(field.type.code, expected[i].code);
        EXPECT_EQ(field.type.elementCode, expected[i].elementCode);
        EXPECT_EQ(field.type.descriptor, expected[i].descriptor);
        EXPECT_NE(field.converter, nullptr);
        EXPECT_FALSE(field.customConverter);
    }
    EXPECT_EQ(everything->fields[0].description, "a flag");
    EXPECT_EQ(everything->fields[0].flags, BindingFieldFlags::Required);
    EXPECT_EQ(everything->fields[0].staticType, &StaticType::HashCode<bool>());
    EXPECT_EQ(everything->fields[15].staticType, &StaticType::HashCode<std::vector<Point>>());
}

TEST(NativeSpelling, SpellsEveryCodeAndIdentifier) {
    const char* words[] = {"",       "bool",  "int8",   "uint8",  "int16", "uint16", "int32",
                           "uint32", "int64", "uint64", "float",  "double", "string", "object",
                           "blob",   "vector", "enum",  "struct", "callback", "map"};
    for (int32_t code = 0; code < 20; ++code) EXPECT_STREQ(NativeSpelling(BindingTypeCode{code}), words[code]);
    EXPECT_STREQ(NativeSpelling(BindingTypeCode{20}), "");
    EXPECT_STREQ(NativeSpelling(BindingTypeCode{-1}), "");

    BindingRegistry registry;
    registry.Record<Point>("Point");
    registry.Enum<Tone>("Tone");
    struct Case {
        BindingTypeIdentifier identifier;
        const char* type;
        const char* elementType;
    };
    const Case cases[] = {
        {TypeIdentifierOf<std::vector<Point>>(registry), "vector", "Point"},
        {TypeIdentifierOf<std::unordered_map<std::string, Tone>>(registry), "map", "Tone"},
        {TypeIdentifierOf<std::vector<int32_t>>(registry), "vector", "int32"},
        {TypeIdentifierOf<std::vector<std::vector<Point>>>(registry), "vector", "vector"},
        {TypeIdentifierOf<Point>(registry), "Point", ""},
        {TypeIdentifierOf<Tone>(registry), "Tone", ""},
        {TypeIdentifierOf<Everything>(registry), "struct", ""},
        {{BindingTypeCode::Enum, BindingTypeCode::None, nullptr}, "enum", ""},
        {TypeIdentifierOf<std::vector<uint8_t>>(registry), "blob", ""},
        {TypeIdentifierOf<void>(registry), "", ""},
    };
    for (const Case& c : cases) {
        const NativeTypeSpelling spelling = NativeSpelling(c.identifier);
        EXPECT_EQ(spelling.type, c.type);
        EXPECT_EQ(spelling.elementType, c.elementType);
    }
}

TEST(RegisterBuiltins, AsyncStateRegisteredAgainKeepsItsSixEnumerators) {
    BindingRegistry registry;
    RegisterBuiltins(registry);
    const auto again = registry.Enum<BindingAsyncState::Type>("BindingAsyncState")
                           .Value("Extra", BindingAsyncState::Type{6})
                           .Description("changed");
    EXPECT_TRUE(again.Existed());
    EXPECT_EQ(again.Descriptor()->values.size(), 6u);
    EXPECT_EQ(again.Descriptor()->description, "Possible states of an asynchronous operation.");
}

TEST(RegisterBuiltins, ASecondRegistrationResetsTheRegistry) {
    BindingRegistry registry;
    RegisterBuiltins(registry);
    const size_t types = registry.Types().size();
    registry.Record<Point>("Point");
    registry.Function("Move");

    RegisterBuiltins(registry);
    EXPECT_TRUE(registry.BuiltinsRegistered());
    EXPECT_EQ(registry.Types().size(), types);
    EXPECT_EQ(registry.FindType("Point"), nullptr);
    EXPECT_EQ(registry.FindFunction("Move"), nullptr);
    EXPECT_EQ(registry.FindType("BindingAsyncState")->values.size(), 6u);
    EXPECT_EQ(registry.FindType("BindingFullTypeHelp")->fields.size(), 7u);
    EXPECT_EQ(registry.Events().size(), 1u);
}

}  // namespace
}  // namespace Zarvo
