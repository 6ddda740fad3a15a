#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "log_test_support.h"
#include "platform/bounded_printf.h"
#include "platform/log_line.h"
#include "platform/system.h"

namespace Zarvo {
namespace {

using LogTesting::FreshLogger;

class LogLine : public FreshLogger {
protected:
    static LogEntry Entry(const char* message, uint64_t categories = LogCategory::DBG) {
        return {{2024, 5, 6, 7, 8, 9, 10},
                LogLevel::Error,
                static_cast<uint32_t>(categories),
                static_cast<uint32_t>(categories >> 32),
                message};
    }

    static std::string Format(const char* pattern, const LogEntry& entry, size_t size = LogBufferSize) {
        std::string line(size + 8, '\x7f');
        const size_t length = FormatLine(line.data(), size, pattern, entry);
        EXPECT_EQ(line[size], '\x7f') << "wrote past the buffer";
        EXPECT_EQ(line.c_str(), line.substr(0, length)) << "length does not match the text";
        return line.c_str();
    }
};

TEST_F(LogLine, Tokens) {
    struct Case {
        const char* pattern;
        const char* message;
        uint64_t categories;
        const char* expected;
    } cases[] = {
        {"#D| #L| #G| #M", "text", LogCategory::DBG, "2024-05-06T07:08:09.010|  ERROR| DBG| text\n"},
        {"#G", "", LogCategory::DBG | LogCategory::PRF, "DBG;PRF\n"},
        {"[#G]", "", 0, "[]\n"},
        {"#M", "text\n", 0, "text\n"},
        {"#M", "two\nlines", 0, "two\nlines\n"},
        {"#M.", "text\n", 0, "text\n.\n"},
        {"##", "", 0, "#\n"},
        {"#x#%#M", "m", 0, "x%m\n"},
        {"trailing #", "", 0, "trailing #\n"},
        {"", "", 0, "\n"},
        {"plain\n", "", 0, "plain\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(c.pattern, Entry(c.message, c.categories)), c.expected) << "pattern " << c.pattern;
}

TEST_F(LogLine, ExecutableAndThread) {
    char thread[16];
    BoundedPrintf(thread, sizeof thread, "%08X", static_cast<unsigned>(Platform::CurrentThreadId()));
    const std::string expected = std::string(logger().ExecutableName()) + "(" + thread + "):  ERROR| text\n";
    EXPECT_EQ(Format("#E(#T): #L| #M", Entry("text")), expected);
    EXPECT_STREQ(logger().ExecutableName(), "platform_tests" KIV_EXECUTABLE_SUFFIX);
}

TEST_F(LogLine, SecondsSinceFirstReading) {
    const std::string line = Format("#H", Entry(""));
    ASSERT_EQ(line.size(), 11u) << line;
    for (size_t i : {0, 1, 2, 3, 4, 5, 7, 8, 9}) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(line[i]))) << line;
    EXPECT_EQ(line.substr(6, 1), ".");
    EXPECT_EQ(line.back(), '\n');
}

// The line feed and the NUL are always written; when the text fills the buffer the line feed replaces its end.
TEST_F(LogLine, BufferSizes) {
    struct Case {
        size_t size;
        const char* pattern;
        const char* expected;
    } cases[] = {
        {6, "abcd", "abcd\n"},  {5, "abcd", "abc\n"},          {8, "#M", "abcdef\n"},
        {2, "abcd", "\n"},      {1, "abcd", ""},               {6, "ab\n", "ab\n"},
        {12, "#D", "2024-05-06\n"}, {5, "#L", " ER\n"},        {4, "##x", "#x\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(c.pattern, Entry("abcdefghij"), c.size), c.expected) << c.pattern << " in " << c.size;

    char untouched = 'u';
    EXPECT_EQ(FormatLine(&untouched, 0, "#M", Entry("x")), 0u);
    EXPECT_EQ(untouched, 'u');
}

TEST_F(LogLine, LongestMessageKeepsItsLineFeed) {
    const std::string message(LogBufferSize - 1, 'x');
    const std::string line = Format("#M", Entry(message.c_str()));
    EXPECT_EQ(line, std::string(LogBufferSize - 2, 'x') + "\n");
}

TEST(LogTexts, LevelNames) {
    EXPECT_STREQ(LevelName(LogLevel::Okay), "  OKAY");
    EXPECT_STREQ(LevelName(LogLevel::Warn), "  WARN");
    EXPECT_STREQ(LevelName(LogLevel::Error), " ERROR");
    EXPECT_STREQ(LevelName(LogLevel::Always), "ALWAYS");
    EXPECT_STREQ(LevelName(static_cast<LogLevel>(4)), "??????");
    EXPECT_STREQ(LevelName(static_cast<LogLevel>(-1)), "??????");
}

TEST(LogTexts, Timestamps) {
    const Platform::LocalTime time{2024, 5, 6, 7, 8, 9, 10};
    char buffer[32];
    EXPECT_EQ(FormatTimestamp(buffer, sizeof buffer, time), 23);
    EXPECT_STREQ(buffer, "2024-05-06T07:08:09.010");
    EXPECT_EQ(FormatFileTimestamp(buffer, sizeof buffer, time), 19);
    EXPECT_STREQ(buffer, "2024-05-06T07-08-09");
    EXPECT_EQ(FormatTimestamp(buffer, 11, time), -1);
    EXPECT_STREQ(buffer, "2024-05-06");
}

}  // namespace
}  // namespace Zarvo
