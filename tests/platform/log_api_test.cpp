#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "log_test_support.h"
#include "platform/log_api.h"

namespace Zarvo {
namespace {

using LogTesting::EverythingSettings;
using LogTesting::FreshLogger;
using LogTesting::RecordingTarget;

class LogApiTable : public FreshLogger {
protected:
    static void Log(const LogApi& api, LogLevel level, const char* format, ...) {
        va_list arguments;
        va_start(arguments, format);
        api.LogV(level, 1, 0, format, arguments);
        va_end(arguments);
    }
};

TEST_F(LogApiTable, OperationsReachTheLogger) {
    const LogApi& api = GetLogApi();
    EXPECT_EQ(api.Version(), 1);

    api.SetMinimumLevel(LogLevel::Always);
    EXPECT_EQ(api.GetMinimumLevel(), LogLevel::Always);
    api.SetMinimumLevel(LogLevel::Okay);
    api.SetExcludedCategories(0x4, 0x1);
    EXPECT_EQ(api.GetExcludedCategories(), 0x100000004ull);

    EXPECT_EQ(api.GetStdErrTarget(), logger().StdErrTarget().Interface());
    EXPECT_EQ(api.GetStdOutTarget(), logger().StdOutTarget().Interface());
    EXPECT_EQ(api.GetDebuggerTarget(), logger().DebuggerTarget().Interface());
    api.GetStdErrTarget()->Detach(api.GetStdErrTarget());
    api.GetDebuggerTarget()->Detach(api.GetDebuggerTarget());

    RecordingTarget target(EverythingSettings());
    api.AddTarget(target.Interface());
    EXPECT_EQ(api.FindTarget("LogTarget"), target.Interface());
    Log(api, LogLevel::Okay, "%s %d", "through the table", 1);
    api.Disable();
    Log(api, LogLevel::Always, "disabled");
    api.Enable();
    api.SetReservedFlag();
    Log(api, LogLevel::Always, "the reserved flag changes nothing");
    api.ClearReservedFlag();
    api.RemoveTarget(target.Interface());
    Log(api, LogLevel::Always, "removed");
    ASSERT_EQ(target.entries.size(), 2u);
    EXPECT_EQ(target.entries[0].message, "through the table 1");
    EXPECT_EQ(target.entries[1].message, "the reserved flag changes nothing");
}

TEST_F(LogApiTable, TextOperations) {
    const LogApi& api = GetLogApi();
    EXPECT_EQ(api.CategoryFromTag("NET"), LogCategory::NET);
    char buffer[64];
    api.FormatCategories(buffer, sizeof buffer, 0x9, 0);
    EXPECT_STREQ(buffer, "DBG;PRF");
    const LogEntry entry{{2024, 5, 6, 7, 8, 9, 10}, LogLevel::Error, 1, 0, "text"};
    EXPECT_EQ(api.FormatLine(buffer, sizeof buffer, "#D| #L| #G| #M", &entry), 43u);
    EXPECT_STREQ(buffer, "2024-05-06T07:08:09.010|  ERROR| DBG| text\n");
    EXPECT_STREQ(api.LevelName(LogLevel::Always), "ALWAYS");
    EXPECT_STREQ(api.ExecutableName(), logger().ExecutableName());
    Platform::LocalTime now{};
    api.ReadLocalTime(&now);
    EXPECT_GE(now.year, 2024);
    EXPECT_EQ(api.FormatTimestamp(buffer, sizeof buffer, &entry.time), 23);
    EXPECT_STREQ(buffer, "2024-05-06T07:08:09.010");
    EXPECT_EQ(api.FormatFileTimestamp(buffer, sizeof buffer, &entry.time), 19);
    EXPECT_STREQ(buffer, "2024-05-06T07-08-09");
}

TEST_F(LogApiTable, ReferencesThroughTheTable) {
    const LogApi& api = GetLogApi();
    api.AcquireLogger();
    api.ReleaseLogger();
    EXPECT_NE(Logger::Current(), nullptr);
    api.ReleaseLogger();
    EXPECT_EQ(Logger::Current(), nullptr);
    api.AcquireLogger();
}

}  // namespace
}  // namespace Zarvo
