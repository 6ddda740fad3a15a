#include <gtest/gtest.h>

#include <string>

#include "log_test_support.h"
#include "platform/bounded_printf.h"
#include "platform/log.h"
#include "platform/system.h"

namespace Zarvo {
namespace {

using LogTesting::FreshLogger;

class ConsoleTargets : public FreshLogger {
protected:
    static std::string Prefix() {
        char thread[16];
        BoundedPrintf(thread, sizeof thread, "%08X", static_cast<unsigned>(Platform::CurrentThreadId()));
        return std::string(logger().ExecutableName()) + "(" + thread + "): ";
    }
};

TEST_F(ConsoleTargets, DefaultsWriteErrorsOfDebugCategoryToStandardError) {
    struct Case {
        LogLevel level;
        uint64_t categories;
        const char* message;
        const char* expected;  // after the "name(thread): " prefix; null for nothing written
    } cases[] = {
        {LogLevel::Error, LogCategory::DBG, "text", " ERROR| text\n"},
        {LogLevel::Error, LogCategory::DBG, "text\n", " ERROR| text\n"},
        {LogLevel::Warn, 0, "no category", "  WARN| no category\n"},
        {LogLevel::Okay, LogCategory::DBG, "below the minimum", nullptr},
        {LogLevel::Error, LogCategory::XTR, "excluded by the logger", nullptr},
        {LogLevel::Error, LogCategory::GEN, "excluded by the target", nullptr},
        {LogLevel::Error, LogCategory::NET, "not included by the target", nullptr},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        LogFormat(c.level, static_cast<uint32_t>(c.categories), 0, "%s", c.message);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected ? Prefix() + c.expected : "") << c.message;
    }
}

TEST_F(ConsoleTargets, StandardOutputWritesGeneralEntriesOnceAttached) {
    logger().StdErrTarget().Detach();
    StdOutLogTarget& stdOut = logger().StdOutTarget();
    stdOut.SetFlushEachLine(true);
    stdOut.Attach();
    testing::internal::CaptureStdout();
    LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::GEN), 0, "general %d", 1);
    LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::DBG), 0, "debug");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "general 1\n");
}

TEST_F(ConsoleTargets, DebuggerTargetAcceptsItsEntries) {
    logger().StdErrTarget().Detach();
    DebuggerConsoleLogTarget& debugger = logger().DebuggerTarget();
    const LogEntry entry{{2024, 5, 6, 7, 8, 9, 10}, LogLevel::Error, 1, 0, "text"};
    EXPECT_TRUE(debugger.Write(entry));
    EXPECT_STREQ(BaseConsoleLogTarget().GetName(), "BaseConsoleLogTarget");
    EXPECT_FALSE(BaseConsoleLogTarget().Write(entry));
}

}  // namespace
}  // namespace Zarvo
