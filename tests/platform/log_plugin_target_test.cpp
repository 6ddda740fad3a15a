#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "log_test_support.h"
#include "platform/log.h"
#include "platform/plugin_log_target.h"

namespace Zarvo {
namespace {

using LogTesting::FreshLogger;

std::vector<std::pair<int32_t, std::string>> coreLog;

void KIV_CDECL RecordWriteLog(const PluginCoreApi*, int32_t level, const char* text) { coreLog.emplace_back(level, text); }

class PluginLogging : public FreshLogger {
protected:
    void SetUp() override {
        FreshLogger::SetUp();
        coreLog.clear();
        core.WriteLog = RecordWriteLog;
    }
    void TearDown() override {
        holder.reset();
        FreshLogger::TearDown();
    }

    PluginCoreApi core{};
    std::unique_ptr<PluginLogTarget> holder;
};

TEST_F(PluginLogging, StartUpSendsEveryEntryToTheCoreOnly) {
    StartPluginLogging(&core, holder);
    ASSERT_TRUE(holder);
    EXPECT_EQ(logger().GetMinimumLevel(), LogLevel::Okay);
    EXPECT_EQ(logger().GetExcludedCategories(), LogCategory::XTR);
    EXPECT_FALSE(logger().StdErrTarget().IsAttached());
    EXPECT_FALSE(logger().StdOutTarget().IsAttached());
    EXPECT_FALSE(logger().DebuggerTarget().IsAttached());
    EXPECT_TRUE(holder->IsAttached());
    EXPECT_EQ(holder->GetLevel(), LogLevel::Okay);
    EXPECT_EQ(holder->GetIncludedCategories(), 0u);
    EXPECT_EQ(holder->GetExcludedCategories(), 0u);
    EXPECT_STREQ(holder->GetPattern(LogEntry{}), "#D| #L| #G| #M");

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    LogFormat(LogLevel::Okay, 1, 0, "value %d", 7);
    LogFormat(LogLevel::Always, 0, 0, "line\n");
    LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::XTR), 0, "extra");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(coreLog, (std::vector<std::pair<int32_t, std::string>>{{0, "value 7"}, {3, "line\n"}}));
}

TEST_F(PluginLogging, SecondStartUpAttachesNoSecondTarget) {
    StartPluginLogging(&core, holder);
    PluginLogTarget* first = holder.get();
    logger().StdErrTarget().Attach();
    logger().SetMinimumLevel(LogLevel::Error);
    StartPluginLogging(&core, holder);
    EXPECT_EQ(holder.get(), first);
    EXPECT_TRUE(logger().StdErrTarget().IsAttached()) << "the step is skipped altogether";
    EXPECT_EQ(logger().GetMinimumLevel(), LogLevel::Error);
    logger().StdErrTarget().Detach();
    LogFormat(LogLevel::Error, 1, 0, "once");
    EXPECT_EQ(coreLog.size(), 1u);
}

TEST_F(PluginLogging, FoundOnlyWhileAttached) {
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), nullptr);
    StartPluginLogging(&core, holder);
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), holder->Interface());
    holder->Detach();
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), nullptr);

    // With the target detached, a new start-up replaces it.
    StartPluginLogging(&core, holder);
    EXPECT_EQ(logger().FindTarget("PluginLogTarget"), holder->Interface());
    LogFormat(LogLevel::Okay, 1, 0, "to the new target");
    EXPECT_EQ(coreLog.size(), 1u);
}

TEST_F(PluginLogging, CoreWithoutWriteLogIsSkipped) {
    core.WriteLog = nullptr;
    StartPluginLogging(&core, holder);
    const LogEntry entry{{}, LogLevel::Error, 1, 0, "m"};
    EXPECT_FALSE(holder->Write(entry));
    EXPECT_FALSE(PluginLogTarget(nullptr).Write(entry));
}

}  // namespace
}  // namespace Zarvo
