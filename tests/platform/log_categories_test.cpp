#include <gtest/gtest.h>

#include <string>

#include "platform/log.h"
#include "platform/log_categories.h"

namespace Zarvo {
namespace {

std::string Text(const CategoryTagTable& table, uint64_t mask, size_t size = 512) {
    std::string buffer(size, '\x7f');
    const size_t length = table.Format(buffer.data(), size, mask);
    EXPECT_EQ(length, std::string(buffer.c_str()).size());
    return buffer.c_str();
}

TEST(LogCategories, PredefinedTags) {
    CategoryTagTable table;
    const char* tags[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"};
    for (int bit = 0; bit < 8; ++bit) EXPECT_EQ(table.FromTag(tags[bit]), 1ull << bit) << tags[bit];
    EXPECT_EQ(table.FromTag("NETWORK"), LogCategory::NET) << "only the first three characters count";
    EXPECT_EQ(CategoryFromTag("NET"), LogCategory::NET);
}

TEST(LogCategories, NewTagsTakeTheNextSlotsUntilAllAreTaken) {
    CategoryTagTable table;
    EXPECT_EQ(table.FromTag("ABC"), 1ull << 8);
    EXPECT_EQ(table.FromTag("net"), 1ull << 9) << "tags are case-sensitive";
    EXPECT_EQ(table.FromTag("ABC"), 1ull << 8);
    EXPECT_EQ(table.FromTag("AB"), 1ull << 10) << "a shorter tag is a tag of its own";
    for (int slot = 11; slot < 64; ++slot) EXPECT_EQ(table.FromTag(std::to_string(100 + slot).c_str()), 1ull << slot);
    EXPECT_EQ(table.FromTag("NEW"), 0u);
    EXPECT_EQ(table.FromTag("ABC"), 1ull << 8) << "registered tags are still found";
    EXPECT_EQ(table.FromTag(nullptr), 0u);
    EXPECT_EQ(table.FromTag(""), 0u);
}

TEST(LogCategories, Format) {
    CategoryTagTable table;
    table.FromTag("AB");
    struct Case {
        uint64_t mask;
        size_t size;
        const char* expected;
    } cases[] = {
        {0, 512, ""},
        {LogCategory::DBG | LogCategory::PRF, 512, "DBG;PRF"},
        {0xFF, 512, "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST"},
        {1ull << 8 | LogCategory::TST, 512, "TST;AB"},
        {1ull << 63 | 1ull << 9, 512, "???;???"},
        {LogCategory::DBG | LogCategory::PRF, 6, "DBG;P"},
        {LogCategory::DBG | LogCategory::PRF, 5, "DBG;"},
        {LogCategory::DBG, 1, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Text(table, c.mask, c.size), c.expected) << std::hex << c.mask;
}

TEST(LogCategories, ProcessTableFormatsBothWords) {
    char buffer[32];
    EXPECT_EQ(FormatCategories(buffer, sizeof buffer, 0x41, 0), 7u);
    EXPECT_STREQ(buffer, "DBG;NET");
    FormatCategories(buffer, sizeof buffer, 0, 0x80000000u);
    EXPECT_STREQ(buffer, "???");
}

}  // namespace
}  // namespace Zarvo
