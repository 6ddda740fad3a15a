#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "log_test_support.h"
#include "platform/log.h"
#include "platform/plugin_log_target.h"

namespace Zarvo {
namespace {

using LogTesting::FreshLogger;
using Lines = std::vector<std::pair<int32_t, std::string>>;

// Two cores that keep what their WriteLog is given; each table is the first member of its core.
struct RecordingCore {
    PluginCoreApi api{};
    Lines lines;

    RecordingCore() {
        api.WriteLog = [](const PluginCoreApi* self, int32_t level, const char* text) {
            reinterpret_cast<RecordingCore*>(const_cast<PluginCoreApi*>(self))->lines.emplace_back(level, text);
        };
    }
};

class PluginLogging : public FreshLogger {
protected:
    void TearDown() override {
        StopPluginLogging(&first);
        StopPluginLogging(&second);
        FreshLogger::TearDown();
    }

    RecordingCore first;
    RecordingCore second;
};

TEST_F(PluginLogging, StartUpSendsEveryEntryToTheCoreOnly) {
    StartPluginLogging(&first, &first.api);
    PluginLogTarget* target = CurrentPluginLogTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(logger().GetMinimumLevel(), LogLevel::Okay);
    EXPECT_EQ(logger().GetExcludedCategories(), LogCategory::XTR);
    EXPECT_FALSE(logger().StdErrTarget().IsAttached());
    EXPECT_FALSE(logger().StdOutTarget().IsAttached());
    EXPECT_FALSE(logger().DebuggerTarget().IsAttached());
    EXPECT_TRUE(target->IsAttached());
    EXPECT_EQ(target->GetLevel(), LogLevel::Okay);
    EXPECT_EQ(target->GetIncludedCategories(), 0u);
    EXPECT_EQ(target->GetExcludedCategories(), 0u);
    EXPECT_STREQ(target->GetPattern(LogEntry{}), "#D| #L| #G| #M");

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    LogFormat(LogLevel::Okay, 1, 0, "value %d", 7);
    LogFormat(LogLevel::Always, 0, 0, "line\n");
    LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::XTR), 0, "extra");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(first.lines, (Lines{{0, "value 7"}, {3, "line\n"}}));
}

TEST_F(PluginLogging, ASecondStartUpAttachesNoSecondTarget) {
    StartPluginLogging(&first, &first.api);
    PluginLogTarget* target = CurrentPluginLogTarget();
    logger().StdErrTarget().Attach();
    logger().SetMinimumLevel(LogLevel::Error);
    StartPluginLogging(&second, &second.api);
    EXPECT_EQ(CurrentPluginLogTarget(), target);
    EXPECT_TRUE(logger().StdErrTarget().IsAttached()) << "the step is skipped altogether";
    EXPECT_EQ(logger().GetMinimumLevel(), LogLevel::Error);
    logger().StdErrTarget().Detach();
    LogFormat(LogLevel::Error, 1, 0, "once");
    EXPECT_EQ(first.lines, (Lines{{2, "once"}}));
    EXPECT_TRUE(second.lines.empty());
}

TEST_F(PluginLogging, TheTargetFollowsTheInstancesThatRemain) {
    StartPluginLogging(&first, &first.api);
    StartPluginLogging(&second, &second.api);
    StopPluginLogging(&first);
    LogFormat(LogLevel::Error, 1, 0, "to the second");
    EXPECT_TRUE(first.lines.empty());
    EXPECT_EQ(second.lines, (Lines{{2, "to the second"}}));

    // The last one to go takes the target with it.
    StopPluginLogging(&second);
    EXPECT_EQ(CurrentPluginLogTarget(), nullptr);
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), nullptr);
    LogFormat(LogLevel::Error, 1, 0, "to nobody");
    EXPECT_EQ(second.lines.size(), 1u);

    // A start after that begins afresh, and a second start of one instance replaces its core.
    StartPluginLogging(&first, &second.api);
    StartPluginLogging(&first, &first.api);
    LogFormat(LogLevel::Error, 1, 0, "again");
    EXPECT_EQ(first.lines, (Lines{{2, "again"}}));
}

TEST_F(PluginLogging, FoundOnlyWhileAttached) {
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), nullptr);
    StartPluginLogging(&first, &first.api);
    PluginLogTarget* target = CurrentPluginLogTarget();
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), target->Interface());
    target->Detach();
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), nullptr);

    // With the target detached, a start-up attaches it again.
    StartPluginLogging(&second, &second.api);
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), target->Interface());
    LogFormat(LogLevel::Okay, 1, 0, "to the target again");
    EXPECT_EQ(first.lines.size(), 1u);
}

TEST_F(PluginLogging, CoresWithoutWriteLogAreSkipped) {
    first.api.WriteLog = nullptr;
    StartPluginLogging(&first, &first.api);
    const LogEntry entry{{}, LogLevel::Error, 1, 0, "m"};
    EXPECT_FALSE(CurrentPluginLogTarget()->Write(entry));
    StartPluginLogging(&second, &second.api);
    EXPECT_TRUE(CurrentPluginLogTarget()->Write(entry));
    EXPECT_EQ(second.lines, (Lines{{2, "m"}}));
    EXPECT_FALSE(PluginLogTarget().Write(entry));
}

}  // namespace
}  // namespace Zarvo
