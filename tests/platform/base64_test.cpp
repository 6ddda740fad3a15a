#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/base64.h"

namespace Zarvo {
namespace {

using namespace std::string_view_literals;

struct Case {
    std::string_view text;
    std::string_view bytes;
};

TEST(Base64, DecodesAndStopsWhereItMust) {
    const Case cases[] = {
        {"", ""},
        {"QUJD", "ABC"},
        {"QUI=", "AB"},
        {"QUI", "AB"},
        {"QQ==", "A"},
        {"QUJDR", "ABC"},           // a single leftover character gives nothing
        {"QQ==QUJD", "A"},          // stops at the first "="
        {"QU-JD", "A"},             // stops at the first character outside the alphabet
        {"QU JD", "A"},
        {"QQ\0QUJD"sv, "A"},
        {"QQ\xC3\xA9QUJD", "A"},    // bytes above 127 are outside the alphabet
        {"AAEC", "\x00\x01\x02"sv},
        {"++++////", "\xFB\xEF\xBE\xFF\xFF\xFF"},
        {"/+", "\xFF"},
        {"S2l2IGxldmVsIHVw", "Kiv level up"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeBase64(c.text), c.bytes) << "text: " << c.text;
}

}  // namespace
}  // namespace Zarvo
