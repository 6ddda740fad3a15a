#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "binding/conversion.h"
#include "binding/registration.h"
#include "conversion_test_support.h"

namespace Zarvo {
namespace {

using namespace Testing;

enum class Color : int32_t { Red = 1, Green = 2, Blue = 7 };
enum class Wide : int64_t { Minus = -1, One = 1 };
enum class Small : uint8_t { Low = 1, High = 200 };
enum class Stray : int16_t { Only = 1 };

class EnumConversion : public ::testing::Test {
protected:
    EnumConversion() {
        registry.Enum<Color>("Color").Value("Red", Color::Red).Value("Green", Color::Green).Value("Blue", Color::Blue);
        registry.Enum<Wide>("Wide").Value("Minus", Wide::Minus).Value("One", Wide::One);
        registry.Enum<Small>("Small").Value("Low", Small::Low).Value("High", Small::High);
    }

    template <class E>
    BindingResult From(E& target, const BindingProperty& input) {
        BindingResult result;
        ConvertFromProperty(result, target, input, "field", registry);
        return result;
    }

    BindingRegistry registry;
};

TEST_F(EnumConversion, AcceptsNamesNumbersAndEnumValuesOfTheType) {
    struct Case {
        BindingProperty input;
        Color expected;
    };
    const Case cases[] = {
        {Text("Green"), Color::Green},
        {Text("7"), Color::Blue},
        {Text("0x2"), Color::Green},
        {Signed(2), Color::Green},
        {Unsigned(7), Color::Blue},
        // The source enum's identity is not compared.
        {EnumNumber(1, &StaticType::HashCode<Wide>()), Color::Red},
    };
    for (const Case& c : cases) {
        Color target = Color::Red;
        const BindingResult result = From(target, c.input);
        EXPECT_TRUE(result.ok) << result.ErrorMessage();
        EXPECT_EQ(target, c.expected);
    }
}

TEST_F(EnumConversion, RefusesWithTheEnumMessages) {
    struct Case {
        BindingProperty input;
        const char* error;
    };
    const Case cases[] = {
        {Text("Bogus"), "Bogus is not a valid Color enumeration value for 'field'."},
        {Text("green"), "green is not a valid Color enumeration value for 'field'."},
        {Text("3"), "3 is not a valid Color enumeration value for 'field'."},
        {Text("99999999999"), "99999999999 is not a valid Color enumeration value for 'field'."},
        {Signed(3), "3 is not a valid Color enumeration value for 'field'."},
        // Only numbers of 32 bits are compared: 2^32 + 2 is not Green.
        {Signed(4294967298), "4294967298 is not a valid Color enumeration value for 'field'."},
        {Unsigned(4294967298u), "4294967298 is not a valid Color enumeration value for 'field'."},
        {EnumNumber(5), "5 is not a valid Color enumeration value for 'field'."},
        {Float(1.0), "Couldn't assign value to 'field' of enum type because the input is of an invalid type float."},
        {Flag(true), "Couldn't assign value to 'field' of enum type because the input is of an invalid type bool."},
        {Empty(), "A value for 'field' is required."},
    };
    for (const Case& c : cases) {
        Color target = Color::Blue;
        const BindingResult result = From(target, c.input);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.ErrorMessage(), c.error);
        EXPECT_EQ(static_cast<int32_t>(target), 0);
    }
}

TEST_F(EnumConversion, StoresInTheWidthOfTheEnum) {
    Wide wide = Wide::One;
    EXPECT_TRUE(From(wide, Text("Minus")).ok);
    EXPECT_EQ(wide, Wide::Minus);

    // A one-byte enum above 127 survives the signed storage read in both directions.
    Small small = Small::Low;
    EXPECT_TRUE(From(small, Text("High")).ok);
    EXPECT_EQ(small, Small::High);
    BindingResult property;
    ConvertToProperty(property, small, registry);
    ASSERT_EQ(property.value.GetKind(), BindingProperty::Kind::Enum);
    EXPECT_EQ(property.value.EnumType(), &StaticType::HashCode<Small>());
    Small back = Small::Low;
    EXPECT_TRUE(From(back, property.value).ok);
    EXPECT_EQ(back, Small::High);
    std::string name;
    EXPECT_TRUE(From(name, property.value).ok);
    EXPECT_EQ(name, "High");
}

TEST_F(EnumConversion, AnUnregisteredEnumTypeIsRefused) {
    Stray stray = Stray::Only;
    const BindingResult result = From(stray, Signed(1));
    EXPECT_EQ(result.ErrorMessage(), "Couldn't assign value to 'field' because its enumeration type is not registered.");
    EXPECT_EQ(static_cast<int16_t>(stray), 0);
}

TEST_F(EnumConversion, VectorOfEnumsGoesThroughTheFieldConverter) {
    std::vector<Color> colors;
    EXPECT_TRUE(From(colors, List({Text("Blue"), Empty(), Signed(2)})).ok);
    EXPECT_EQ(colors, (std::vector<Color>{Color::Blue, Color{0}, Color::Green}));
    BindingResult property;
    ConvertToProperty(property, colors, registry);
    ASSERT_EQ(property.value.Size(), 3u);
    EXPECT_EQ(property.value.At(0).EnumValue(), 7);
    EXPECT_EQ(property.value.At(0).EnumType(), &StaticType::HashCode<Color>());
}

}  // namespace
}  // namespace Zarvo
