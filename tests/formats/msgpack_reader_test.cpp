#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "platform/allocation.h"
#include "support/describe.h"

namespace Zarvo {
namespace {

using Testing::Describe;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) { return {values.begin(), values.end()}; }

struct Decoded {
    std::string tree;
    size_t consumed;
};

Decoded Decode(const std::vector<uint8_t>& bytes) {
    size_t consumed = 0;
    BindingResult result = DecodeMessagePack(bytes.data(), bytes.size(), consumed);
    return {Describe(result), consumed};
}

struct MessagePackCase {
    std::vector<uint8_t> bytes;
    std::string expected;
    size_t consumed;
};

class MessagePackReaderTest : public testing::TestWithParam<MessagePackCase> {};

TEST_P(MessagePackReaderTest, DecodesTheFirstValue) {
    Decoded decoded = Decode(GetParam().bytes);
    EXPECT_EQ(decoded.tree, GetParam().expected);
    EXPECT_EQ(decoded.consumed, GetParam().consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Values, MessagePackReaderTest,
    testing::Values(
        MessagePackCase{{}, "~", 0}, MessagePackCase{Bytes({0x05}), "i5", 1}, MessagePackCase{Bytes({0xCC, 0x05}), "u5", 2},
        MessagePackCase{Bytes({0xFF}), "i-1", 1}, MessagePackCase{Bytes({0xD0, 0x80}), "i-128", 2},
        MessagePackCase{Bytes({0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0}), "i-9223372036854775808", 9},
        MessagePackCase{Bytes({0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "u18446744073709551615", 9},
        MessagePackCase{Bytes({0xCA, 0x3F, 0xC0, 0, 0}), "f1.5", 5},
        MessagePackCase{Bytes({0xCB, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}), "f1.5", 9},
        MessagePackCase{Bytes({0xC2}), "false", 1}, MessagePackCase{Bytes({0xC0}), "~", 1},
        MessagePackCase{Bytes({0xA2, 'a', 'b'}), "\"ab\"", 3}, MessagePackCase{Bytes({0xD9, 1, 'x'}), "\"x\"", 3},
        MessagePackCase{Bytes({0xC4, 2, 0x00, 0xFF}), "b:00ff", 4},
        MessagePackCase{Bytes({0x93, 0x01, 0xC0, 0x03}), "[i1,~,i3]", 4},
        MessagePackCase{Bytes({0x92, 0x01}), "[i1]", 2},
        MessagePackCase{Bytes({0x01, 0x02}), "i1", 1},
        MessagePackCase{Bytes({0x82, 0xA1, 'b', 0x01, 0xA1, 'a', 0x91, 0x02}), "{a:[i2],b:i1}", 8},
        MessagePackCase{Bytes({0xDE, 0, 1, 0xA1, 'k', 0x90}), "{k:[]}", 6},
        // A later duplicate key replaces the earlier value, whatever either of them is.
        MessagePackCase{Bytes({0x82, 0xA1, 'a', 0x92, 1, 2, 0xA1, 'a', 0x05}), "{a:i5}", 9},
        MessagePackCase{Bytes({0x82, 0xA1, 'a', 0x92, 1, 2, 0xA1, 'a', 0x91, 7}), "{a:[i7]}", 10},
        // Counts come from the input: a huge announced array ends with the bytes, allocating nothing up front.
        MessagePackCase{Bytes({0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}), "[i1]", 6},
        MessagePackCase{Bytes({0xDF, 0xFF, 0xFF, 0xFF, 0xFF}), "{}", 5}));

INSTANTIATE_TEST_SUITE_P(
    Errors, MessagePackReaderTest,
    testing::Values(
        MessagePackCase{Bytes({0x81, 0x01, 0x02}), "error: Invalid MessagePack data at position 2. Map keys must be strings.", 2},
        MessagePackCase{Bytes({0xCD, 0x01}), "error: Invalid MessagePack data. 16-bit integer value at position 1 is truncated.", 1},
        MessagePackCase{Bytes({0xCC}), "error: Invalid MessagePack data. 8-bit integer value at position 1 is truncated.", 1},
        MessagePackCase{Bytes({0xD2, 1, 2}), "error: Invalid MessagePack data. 32-bit integer value at position 1 is truncated.", 1},
        MessagePackCase{Bytes({0xCB, 1}), "error: Invalid MessagePack data. 64-bit integer value at position 1 is truncated.", 1},
        MessagePackCase{Bytes({0xA5, 'a', 'b'}), "error: Invalid MessagePack data. String of size 5 at position 1 is truncated.", 1},
        MessagePackCase{Bytes({0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}),
                        "error: Invalid MessagePack data. String of size 4294967295 at position 5 is truncated.", 5},
        MessagePackCase{Bytes({0xC5, 0, 3, 1}), "error: Invalid MessagePack data. Raw bytes of size 3 at position 3 are truncated.", 3},
        MessagePackCase{Bytes({0xC7, 0x01, 0x01, 0x00}), "error: Invalid MessagePack data at position 1.", 1},
        MessagePackCase{Bytes({0xC1}), "error: Invalid MessagePack data at position 1.", 1},
        MessagePackCase{Bytes({0x91, 0xD4, 0x01, 0x00}), "error: Invalid MessagePack data at position 2.", 2}));

TEST(MessagePackReader, LooksLikeMessagePackOnlyForContainerHeaders) {
    for (int byte = 0; byte < 256; ++byte) {
        uint8_t data = static_cast<uint8_t>(byte);
        bool expected = (byte >= 0x80 && byte <= 0x9F) || (byte >= 0xDC && byte <= 0xDF);
        EXPECT_EQ(LooksLikeMessagePack(&data, 1), expected) << byte;
    }
    EXPECT_FALSE(LooksLikeMessagePack(nullptr, 0));
}

TEST(MessagePackReader, DeepNestingCostsNoStack) {
    std::vector<uint8_t> deep(1000000, 0x91);
    deep.push_back(0x01);
    size_t consumed = 0;
    EXPECT_TRUE(DecodeMessagePack(deep.data(), deep.size(), consumed).ok);
    EXPECT_EQ(consumed, deep.size());
}

// Room for array elements and map members is made up front, but nested containers that each announce 2^32 - 1
// items must not reserve more in all than the input has bytes.
TEST(MessagePackReader, AnnouncedCountsReserveNoMoreThanTheInputCanFill) {
    // Arrays of 2^32 - 1 elements, and maps of 2^32 - 1 entries each under a one-byte key.
    for (std::vector<uint8_t> level : {std::vector<uint8_t>{0xDD, 0xFF, 0xFF, 0xFF, 0xFF},
                                       std::vector<uint8_t>{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 'k'}}) {
        std::vector<uint8_t> nested;
        for (int i = 0; i < 20000; ++i) nested.insert(nested.end(), level.begin(), level.end());
        const auto& stats = ProcessAllocationStatistics();
        uint64_t before = stats.bytesAllocated;
        size_t consumed = 0;
        EXPECT_TRUE(DecodeMessagePack(nested.data(), nested.size(), consumed).ok);
        EXPECT_EQ(consumed, nested.size());
        EXPECT_LT(stats.bytesAllocated - before, nested.size() * 64);
    }
}

std::vector<uint8_t> FromHex(std::string_view hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 3) bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// Compares a decoded value with the suite's JSON spelling of it.
bool Matches(const BindingProperty& decoded, const BindingProperty& expected, std::string_view kind) {
    using Kind = BindingProperty::Kind;
    if (kind == "binary") {
        std::string hex;
        char buffer[4];
        for (uint8_t byte : decoded.GetBlob()) {
            std::snprintf(buffer, sizeof buffer, "%s%02x", hex.empty() ? "" : "-", byte);
            hex += buffer;
        }
        return decoded.GetKind() == Kind::Blob && hex == expected.GetString();
    }
    if (kind == "bignum") {
        std::string text = decoded.GetKind() == Kind::Signed ? std::to_string(decoded.GetSigned(0))
                                                             : std::to_string(decoded.GetUnsigned(0));
        return text == expected.GetString();
    }
    switch (expected.GetKind()) {
        case Kind::Signed: case Kind::Unsigned: case Kind::Float: {
            auto number = [](const BindingProperty& p) {
                return p.GetKind() == Kind::Signed ? static_cast<double>(p.GetSigned(0))
                       : p.GetKind() == Kind::Unsigned ? static_cast<double>(p.GetUnsigned(0))
                                                       : p.GetDouble(0);
            };
            return (decoded.GetKind() == Kind::Signed || decoded.GetKind() == Kind::Unsigned ||
                    decoded.GetKind() == Kind::Float) && number(decoded) == number(expected);
        }
        case Kind::Collection:
            if (decoded.GetKind() != Kind::Collection || decoded.Size() != expected.Size()) return false;
            for (size_t i = 0; i < expected.Size(); ++i)
                if (!Matches(decoded.At(i), expected.At(i), "")) return false;
            return true;
        case Kind::Structure:
            if (decoded.GetKind() != Kind::Structure || decoded.Size() != expected.Size()) return false;
            for (const auto& [key, child] : expected.Members())
                if (!Matches(decoded.Child(key.View()), child, "")) return false;
            return true;
        default:
            return Describe(decoded) == Describe(expected);
    }
}

TEST(MessagePackReader, ConformanceSuite) {
    std::filesystem::path path = KIV_TESTDATA_DIR "/msgpack-test-suite/dist/msgpack-test-suite.json";
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << "the conformance suite is missing at " << path;
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    BindingResult suite = ParseJson(content.str());
    ASSERT_TRUE(suite.ok);
    int decodedCases = 0;
    for (const auto& [group, cases] : suite.value.Members()) {
        for (const BindingProperty& testCase : cases.Elements()) {
            std::string_view kind;
            const BindingProperty* expected = nullptr;
            for (const auto& [key, value] : testCase.Members()) {
                if (key.View() != "msgpack") {
                    kind = key.View();
                    expected = &value;
                }
            }
            bool extension = kind == "ext" || kind == "timestamp";
            for (const BindingProperty& hex : testCase.Child("msgpack").Elements()) {
                std::vector<uint8_t> bytes = FromHex(hex.GetString());
                size_t consumed = 0;
                BindingResult result = DecodeMessagePack(bytes.data(), bytes.size(), consumed);
                if (extension) {
                    EXPECT_EQ(Describe(result), "error: Invalid MessagePack data at position 1.") << group.View();
                    continue;
                }
                ASSERT_TRUE(result.ok) << group.View() << " " << hex.GetString() << ": " << result.ErrorMessage();
                EXPECT_EQ(consumed, bytes.size()) << hex.GetString();
                EXPECT_TRUE(Matches(result.value, *expected, kind)) << group.View() << " " << hex.GetString() << " gave "
                                                                   << Describe(result.value);
                ++decodedCases;
            }
        }
    }
    EXPECT_GT(decodedCases, 100);
}

}  // namespace
}  // namespace Zarvo
