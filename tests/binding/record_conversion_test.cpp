#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/conversion.h"
#include "binding/registration.h"
#include "conversion_test_support.h"

namespace Zarvo {
namespace {

using namespace Testing;
using Kind = BindingProperty::Kind;

enum class Mode : int16_t { Off = 0, On = 1, Auto = 5 };

struct Inner {
    int32_t x = 0;
    std::string label;
};

struct Sample {
    bool flag = false;
    int8_t small = 0;
    uint64_t big = 0;
    double ratio = 0;
    std::string text;
    BindingProperty extra;
    std::vector<uint8_t> bytes;
    std::vector<int32_t> numbers;
    std::vector<bool> bits;
    std::vector<Inner> inners;
    std::unordered_map<std::string, uint16_t> counts;
    std::unordered_map<std::string, Inner> innerMap;
    std::vector<std::vector<int32_t>> grid;
    Mode mode = Mode::Off;
    Inner inner;
};

struct Strict {
    uint32_t id = 0;
    std::string name;
    int32_t score = 0;
};

struct Empty {};

struct Unregistered {
    int32_t value = 0;
};

struct Holder {
    Unregistered part;
};

class RecordConversion : public ::testing::Test {
protected:
    RecordConversion() {
        registry.Enum<Mode>("Mode").Value("Off", Mode::Off).Value("On", Mode::On).Value("Auto", Mode::Auto);
        registry.Record<Inner>("Inner").Field("x", &Inner::x).Field("label", &Inner::label);
        registry.Record<Sample>("Sample")
            .Field("flag", &Sample::flag)
            .Field("small", &Sample::small)
            .Field("big", &Sample::big)
            .Field("ratio", &Sample::ratio)
            .Field("text", &Sample::text)
            .Field("extra", &Sample::extra)
            .Field("bytes", &Sample::bytes)
            .Field("numbers", &Sample::numbers)
            .Field("bits", &Sample::bits)
            .Field("inners", &Sample::inners)
            .Field("counts", &Sample::counts)
            .Field("innerMap", &Sample::innerMap)
            .Field("grid", &Sample::grid)
            .Field("mode", &Sample::mode)
            .Field("inner", &Sample::inner);
        registry.Record<Strict>("Strict")
            .Field("id", &Strict::id, "", BindingFieldFlags::Required | BindingFieldFlags::OmitWhenDefault)
            .Field("name", &Strict::name, "", BindingFieldFlags::OmitWhenDefault)
            .Field("score", &Strict::score);
        registry.Record<Empty>("Empty");
        registry.Record<Holder>("Holder").Field("part", &Holder::part);
    }

    template <class T>
    BindingResult From(T& target, const BindingProperty& input) {
        BindingResult result;
        ConvertFromProperty(result, target, input, registry);
        return result;
    }

    template <class T>
    BindingResult To(const T& source) {
        BindingResult result;
        ConvertToProperty(result, source, registry);
        return result;
    }

    BindingRegistry registry;
};

Sample MakeSample() {
    Sample sample;
    sample.flag = true;
    sample.small = -5;
    sample.big = 18446744073709551615u;
    sample.ratio = 0.25;
    sample.text = "hello";
    sample.extra = Object({{"any", List({Signed(1), Text("two")})}});
    sample.bytes = {0, 255};
    sample.numbers = {3, -4};
    sample.bits = {true, false, true};
    sample.inners = {{1, "a"}, {2, "b"}};
    sample.counts = {{"k", 65535}};
    sample.innerMap = {{"m", {9, "z"}}};
    sample.grid = {{1}, {}, {2, 3}};
    sample.mode = Mode::Auto;
    sample.inner = {7, "in"};
    return sample;
}

TEST_F(RecordConversion, RoundTripsEverySupportedFieldType) {
    const Sample sample = MakeSample();
    const BindingResult property = To(sample);
    ASSERT_TRUE(property.ok) << property.ErrorMessage();
    const BindingProperty& value = property.value;
    ASSERT_EQ(value.GetKind(), Kind::Structure);
    EXPECT_EQ(value.Size(), 15u);
    EXPECT_EQ(value.Child("flag").GetKind(), Kind::Bool);
    EXPECT_EQ(value.Child("small").GetSigned(0), -5);
    EXPECT_EQ(value.Child("big").GetUnsigned(0), 18446744073709551615u);
    EXPECT_EQ(value.Child("ratio").GetDouble(0), 0.25);
    EXPECT_EQ(value.Child("text").GetString(), "hello");
    EXPECT_EQ(value.Child("extra").Child("any").At(1).GetString(), "two");
    EXPECT_EQ(value.Child("bytes").GetKind(), Kind::Blob);
    EXPECT_EQ(value.Child("numbers").At(1).GetSigned(0), -4);
    EXPECT_EQ(value.Child("bits").At(2).GetKind(), Kind::Bool);
    EXPECT_EQ(value.Child("inners").At(1).Child("label").GetString(), "b");
    EXPECT_EQ(value.Child("counts").Child("k").GetUnsigned(0), 65535u);
    EXPECT_EQ(value.Child("innerMap").Child("m").Child("x").GetSigned(0), 9);
    EXPECT_EQ(value.Child("grid").At(2).At(1).GetSigned(0), 3);
    EXPECT_EQ(value.Child("mode").EnumValue(), 5);
    EXPECT_EQ(value.Child("mode").EnumType(), &StaticType::HashCode<Mode>());
    EXPECT_EQ(value.Child("inner").Child("label").GetString(), "in");

    Sample back;
    const BindingResult result = From(back, value);
    ASSERT_TRUE(result.ok) << result.ErrorMessage();
    EXPECT_EQ(back.flag, sample.flag);
    EXPECT_EQ(back.small, sample.small);
    EXPECT_EQ(back.big, sample.big);
    EXPECT_EQ(back.ratio, sample.ratio);
    EXPECT_EQ(back.text, sample.text);
    EXPECT_EQ(back.extra.Child("any").At(0).GetSigned(0), 1);
    EXPECT_EQ(back.bytes, sample.bytes);
    EXPECT_EQ(back.numbers, sample.numbers);
    EXPECT_EQ(back.bits, sample.bits);
    ASSERT_EQ(back.inners.size(), 2u);
    EXPECT_EQ(back.inners[1].label, "b");
    EXPECT_EQ(back.counts, sample.counts);
    EXPECT_EQ(back.innerMap.at("m").x, 9);
    EXPECT_EQ(back.grid, sample.grid);
    EXPECT_EQ(back.mode, Mode::Auto);
    EXPECT_EQ(back.inner.x, 7);
}

TEST_F(RecordConversion, ContainerElementsThatAreEmptyAreSkipped) {
    Sample sample;
    const BindingResult result =
        From(sample, Object({{"numbers", List({Signed(1), Testing::Empty(), Signed(3)})},
                             {"counts", Object({{"a", Unsigned(1)}, {"gone", Testing::Empty()}})},
                             {"inners", List({Testing::Empty(), Object({{"x", Signed(4)}})})}}));
    ASSERT_TRUE(result.ok) << result.ErrorMessage();
    EXPECT_EQ(sample.numbers, (std::vector<int32_t>{1, 0, 3}));
    EXPECT_EQ(sample.counts.size(), 1u);
    EXPECT_EQ(sample.counts.count("gone"), 0u);
    ASSERT_EQ(sample.inners.size(), 2u);
    EXPECT_EQ(sample.inners[0].x, 0);
    EXPECT_EQ(sample.inners[1].x, 4);
}

TEST_F(RecordConversion, AbsentOrEmptyOptionalFieldsKeepTheirValuesAndUnknownChildrenAreIgnored) {
    Sample sample = MakeSample();
    const BindingResult result =
        From(sample, Object({{"text", Testing::Empty()}, {"small", Signed(9)}, {"unknown", Signed(1)}}));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(sample.small, 9);
    EXPECT_EQ(sample.text, "hello");
    EXPECT_EQ(sample.numbers, (std::vector<int32_t>{3, -4}));
}

TEST_F(RecordConversion, RefusalsOfRecordsAndContainers) {
    struct Case {
        BindingProperty input;
        const char* error;
    };
    const Case cases[] = {
        {Testing::Empty(), "A value for '<value>' is required."},
        {Signed(1), "Couldn't assign value to '<value>' of type Sample because the input not a structure."},
        {Object({{"inner", List({})}}),
         "Couldn't assign value to 'inner' of type Inner because the input not a structure."},
        {Object({{"inners", List({Signed(1)})}}),
         "Couldn't assign value to 'inners' of type Inner because the input not a structure."},
        {Object({{"numbers", Object({})}}),
         "Couldn't assign value to 'numbers' of type vector because the input not a collection."},
        {Object({{"counts", List({})}}),
         "Couldn't assign value to 'counts' of type map because the input not a structure."},
        {Object({{"counts", Object({{"a", Signed(70000)}})}}),
         "Value 70000 for 'counts' of type uint16 is out of range"},
        {Object({{"grid", List({List({Text("x")})})}}),
         "Value x for 'grid' of type int32 is in an incorrect format"},
        {Object({{"mode", Text("Sideways")}}), "Sideways is not a valid Mode enumeration value for 'mode'."},
    };
    for (const Case& c : cases) {
        Sample sample;
        const BindingResult result = From(sample, c.input);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.ErrorMessage(), c.error);
        EXPECT_EQ(result.value.Size(), 1u);
    }
}

TEST_F(RecordConversion, TopLevelContainersOfBoolAndOthers) {
    std::vector<bool> bits = {true};
    EXPECT_EQ(From(bits, Testing::Empty()).ErrorMessage(), "A value for '<value>' is required.");
    EXPECT_EQ(From(bits, Text("x")).ErrorMessage(),
              "Couldn't assign value to '<value>' of type vector because the input not a collection.");
    std::vector<int32_t> numbers = {1};
    EXPECT_EQ(From(numbers, Testing::Empty()).ErrorMessage(),
              "Couldn't assign value to '<value>' of type vector because the input not a collection.");
    EXPECT_TRUE(numbers.empty());
    std::unordered_map<std::string, int32_t> map = {{"a", 1}};
    EXPECT_EQ(From(map, Testing::Empty()).ErrorMessage(),
              "Couldn't assign value to '<value>' of type map because the input not a structure.");
    EXPECT_TRUE(map.empty());
}

TEST_F(RecordConversion, RequiredFieldsMustBePresentAndNotEmpty) {
    const char* error =
        "Couldn't assign value to '<value>' of type Strict because the input structure doesn't have required field "
        "'id'.";
    Strict strict;
    EXPECT_EQ(From(strict, Object({{"id", Testing::Empty()}, {"score", Signed(1)}})).ErrorMessage(), error);
    EXPECT_EQ(From(strict, Object({{"score", Signed(1)}})).ErrorMessage(), error);
    EXPECT_TRUE(From(strict, Object({{"id", Unsigned(3)}})).ok);
    EXPECT_EQ(strict.id, 3u);
}

TEST_F(RecordConversion, OmitWhenDefaultLeavesOutDefaultValues) {
    const BindingResult defaults = To(Strict{});
    ASSERT_TRUE(defaults.ok);
    EXPECT_EQ(defaults.value.Size(), 1u);
    EXPECT_EQ(defaults.value.Child("score").GetKind(), Kind::Signed);

    const BindingResult filled = To(Strict{4, "n", 0});
    EXPECT_EQ(filled.value.Size(), 3u);
    EXPECT_EQ(filled.value.Child("id").GetUnsigned(0), 4u);
    EXPECT_EQ(filled.value.Child("name").GetString(), "n");
}

TEST_F(RecordConversion, AFailureKeepsEarlierFieldsZeroesTheFailingOneAndLeavesLaterOnes) {
    Sample sample = MakeSample();
    const BindingResult result = From(sample, Object({{"flag", Flag(false)},
                                                      {"ratio", Float(0.5)},
                                                      {"numbers", List({Signed(8), Text("bad"), Signed(9)})},
                                                      {"mode", Text("Bogus")},
                                                      {"inner", Object({{"x", Signed(1)}})}}));
    EXPECT_EQ(result.ErrorMessage(), "Value bad for 'numbers' of type int32 is in an incorrect format");
    EXPECT_FALSE(sample.flag);
    EXPECT_EQ(sample.small, -5);
    EXPECT_EQ(sample.ratio, 0.5);
    EXPECT_EQ(sample.numbers, (std::vector<int32_t>{8, 0, 0}));
    EXPECT_EQ(sample.mode, Mode::Auto);
    EXPECT_EQ(sample.inner.x, 7);

    // A record field that fails holds what was converted before its failing member.
    Sample nested = MakeSample();
    const BindingResult inner = From(nested, Object({{"inner", Object({{"x", Signed(1)}, {"label", Signed(2)}})}}));
    EXPECT_EQ(inner.ErrorMessage(), "Couldn't assign value to 'label' because the input is not a string.");
    EXPECT_EQ(nested.inner.x, 1);
    EXPECT_EQ(nested.inner.label, "");
}

TEST_F(RecordConversion, AFailedResultLeavesARecordUntouched) {
    Sample sample = MakeSample();
    BindingResult result;
    result.SetError("before");
    ConvertFromProperty(result, sample, Object({{"small", Signed(1)}}), registry);
    EXPECT_EQ(sample.small, -5);
    EXPECT_EQ(result.ErrorMessage(), "before");
}

TEST_F(RecordConversion, UnregisteredRecords) {
    Unregistered loose;
    EXPECT_EQ(From(loose, Object({})).ErrorMessage(),
              "Couldn't assign value to '<value>' because the input is an unregistered structure or not a structure "
              "at all.");
    EXPECT_EQ(To(loose).ErrorMessage(), "Couldn't convert native value because it's an unregistered structure.");

    Holder holder;
    EXPECT_EQ(From(holder, Object({{"part", Object({})}})).ErrorMessage(),
              "Couldn't assign value to 'part' because the input is an unregistered structure or not a structure at "
              "all.");
    const BindingResult nested = To(holder);
    EXPECT_FALSE(nested.ok);
    EXPECT_EQ(nested.ErrorMessage(), "Couldn't convert native value because it's an unregistered structure.");
    EXPECT_EQ(nested.value.Size(), 1u);
}

TEST_F(RecordConversion, ARecordWithoutFieldsIsAnEmptyStructure) {
    const BindingResult result = To(Empty{});
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.value.GetKind(), Kind::Structure);
    EXPECT_EQ(result.value.Size(), 0u);
}

TEST_F(RecordConversion, ConvertingIntoAUsedResultReplacesItsValue) {
    BindingResult result;
    result.SetError("old");
    ConvertToProperty(result, Inner{1, "a"}, registry);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.value.Size(), 2u);
    EXPECT_TRUE(result.value.Child("error").IsEmpty());
}

// Counts its calls and writes a marker, to show which fields the dispatch hands to their converters.
class MarkingConverter final : public FieldConverter {
public:
    explicit MarkingConverter(int* calls) : calls_(calls) {}
    void FromProperty(BindingResult&, void* field, const BindingProperty&, const char*, const BindingTypeInfo*,
                      const BindingRegistry&) const override {
        ++*calls_;
        *static_cast<int32_t*>(field) = -1;
    }
    void ToProperty(BindingResult&, BindingProperty& out, const void*, const BindingTypeInfo*,
                    const BindingRegistry&) const override {
        ++*calls_;
        out.SetString("custom");
    }

private:
    int* calls_;
};

TEST(FieldDispatch, CustomFieldsAlwaysUseTheirConverterAndPlainCodesNeedNone) {
    struct Mixed {
        int32_t custom = 0;
        int32_t plain = 0;
        std::vector<uint8_t> raw;
    };
    BindingRegistry registry;
    int calls = 0;
    BindingTypeInfo* mixed = registry.Record<Mixed>("Mixed")
                                 .CustomField("custom", &Mixed::custom,
                                              {BindingTypeCode::Callback, BindingTypeCode::None, nullptr},
                                              std::make_unique<MarkingConverter>(&calls))
                                 .Descriptor();
    // Fields described by hand, without converters: an int32 is dispatched by its code, a blob needs a converter.
    BindingFieldInfo& plain = mixed->fields.emplace_back();
    plain.name = "plain";
    plain.offset = MemberOffset(&Mixed::plain);
    plain.type.code = BindingTypeCode::Int32;

    Mixed value;
    BindingResult result;
    ConvertFromProperty(result, value, Object({{"custom", Signed(5)}, {"plain", Text("12")}}), registry);
    ASSERT_TRUE(result.ok) << result.ErrorMessage();
    EXPECT_EQ(value.custom, -1);
    EXPECT_EQ(value.plain, 12);
    ConvertToProperty(result, value, registry);
    EXPECT_EQ(result.value.Child("custom").GetString(), "custom");
    EXPECT_EQ(result.value.Child("plain").GetSigned(0), 12);
    EXPECT_EQ(calls, 2);

    BindingFieldInfo& raw = mixed->fields.emplace_back();
    raw.name = "raw";
    raw.offset = MemberOffset(&Mixed::raw);
    raw.type.code = BindingTypeCode::Blob;
    BindingResult refused;
    ConvertFromProperty(refused, value, Object({{"raw", Bytes({1})}}), registry);
    EXPECT_EQ(refused.ErrorMessage(), "Couldn't convert field 'raw' because its type has no converter.");
    ConvertToProperty(refused, value, registry);
    EXPECT_EQ(refused.ErrorMessage(), "Couldn't convert field 'raw' because its type has no converter.");
}

}  // namespace
}  // namespace Zarvo
