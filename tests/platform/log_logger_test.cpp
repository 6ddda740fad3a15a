#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_test_support.h"
#include "platform/log.h"
#include "platform/logger.h"

namespace Zarvo {
namespace {

using LogTesting::EverythingSettings;
using LogTesting::FreshLogger;
using LogTesting::RecordingTarget;

class LoggerTest : public FreshLogger {};

TEST_F(LoggerTest, Defaults) {
    EXPECT_EQ(logger().GetMinimumLevel(), LogLevel::Warn);
    EXPECT_EQ(logger().GetExcludedCategories(), LogCategory::XTR);

    struct Case {
        LogTarget& target;
        const char* name;
        const char* pattern;
        uint64_t included;
        uint64_t excluded;
        bool attached;
    } cases[] = {
        {logger().StdErrTarget(), "StdErrLogTarget", "#E(#T): #L| #M", LogCategory::DBG, LogCategory::GEN, true},
        {logger().StdOutTarget(), "StdOutLogTarget", "#M", LogCategory::GEN, LogCategory::DBG, false},
        {logger().DebuggerTarget(), "DebuggerConsoleLogTarget", "#E(#T): #L| #M", LogCategory::DBG, 0, true},
    };
    const LogEntry entry{};
    for (const Case& c : cases) {
        EXPECT_STREQ(c.target.GetName(), c.name);
        EXPECT_STREQ(c.target.GetPattern(entry), c.pattern) << c.name;
        EXPECT_EQ(c.target.GetLevel(), LogLevel::Warn) << c.name;
        EXPECT_EQ(c.target.GetIncludedCategories(), c.included) << c.name;
        EXPECT_EQ(c.target.GetExcludedCategories(), c.excluded) << c.name;
        EXPECT_EQ(c.target.IsAttached(), c.attached) << c.name;
    }
    EXPECT_FALSE(logger().StdOutTarget().FlushEachLine());
}

// The logger's own filter, before any target sees the entry.
TEST_F(LoggerTest, FiltersByLevelCategoryAndSwitch) {
    struct Case {
        LogLevel minimum;
        uint64_t excluded;
        bool disabled;
        LogLevel level;
        uint64_t categories;
        bool delivered;
    } cases[] = {
        {LogLevel::Warn, LogCategory::XTR, false, LogLevel::Okay, LogCategory::DBG, false},
        {LogLevel::Warn, LogCategory::XTR, false, LogLevel::Warn, LogCategory::DBG, true},
        {LogLevel::Warn, LogCategory::XTR, false, LogLevel::Error, LogCategory::XTR, false},
        {LogLevel::Warn, LogCategory::XTR, false, LogLevel::Error, LogCategory::XTR | LogCategory::DBG, false},
        {LogLevel::Warn, LogCategory::XTR, false, LogLevel::Warn, 0, true},
        {LogLevel::Okay, 0, false, LogLevel::Okay, LogCategory::XTR, true},
        {LogLevel::Always, 0, false, LogLevel::Error, 0, false},
        {LogLevel::Okay, 1ull << 40, false, LogLevel::Always, 1ull << 40, false},
        {LogLevel::Okay, 0, true, LogLevel::Always, 0, false},
    };
    DetachConsoleTargets();
    RecordingTarget target;
    target.Configure(EverythingSettings());
    for (const Case& c : cases) {
        logger().SetMinimumLevel(c.minimum);
        logger().SetExcludedCategories(c.excluded);
        if (c.disabled) logger().Disable();
        else logger().Enable();
        target.entries.clear();
        LogFormat(c.level, static_cast<uint32_t>(c.categories), static_cast<uint32_t>(c.categories >> 32), "%s", "m");
        EXPECT_EQ(target.entries.size(), c.delivered ? 1u : 0u)
            << "level " << static_cast<int>(c.level) << " categories " << std::hex << c.categories;
    }
}

TEST_F(LoggerTest, EntryCarriesCallAndLocalTime) {
    DetachConsoleTargets();
    RecordingTarget target;
    target.Configure({LogLevel::Okay, 0, 0, "#D"});
    const Platform::LocalTime before = Platform::ReadLocalTime();
    LogFormat(LogLevel::Always, 0x41, 0x2, "%s=%d", "value", 42);
    ASSERT_EQ(target.entries.size(), 1u);
    const auto& entry = target.entries[0];
    EXPECT_EQ(entry.level, LogLevel::Always);
    EXPECT_EQ(entry.categories, 0x200000041ull);
    EXPECT_EQ(entry.message, "value=42");
    EXPECT_EQ(entry.line.substr(0, 5), std::to_string(before.year) + "-");
}

TEST_F(LoggerTest, LongMessageIsCut) {
    DetachConsoleTargets();
    RecordingTarget target;
    target.Configure(EverythingSettings());
    const std::string message(5000, 'x');
    LogFormat(LogLevel::Error, 1, 0, "%s", message.c_str());
    ASSERT_EQ(target.entries.size(), 1u);
    EXPECT_EQ(target.entries[0].message, message.substr(0, LogBufferSize - 1));
}

TEST_F(LoggerTest, TargetsSeeEntriesInAttachOrder) {
    DetachConsoleTargets();
    struct SequenceTarget : LogTarget {
        SequenceTarget(const char* name, std::vector<std::string>& sequence) : name(name), sequence(sequence) {}
        ~SequenceTarget() override { Detach(); }
        bool Write(const LogEntry& entry) override {
            sequence.push_back(std::string(name) + ":" + entry.message);
            return true;
        }
        const char* name;
        std::vector<std::string>& sequence;
    };
    std::vector<std::string> sequence;
    SequenceTarget second("second", sequence), first("first", sequence);
    second.Configure(EverythingSettings());
    first.Configure(EverythingSettings());
    LogFormat(LogLevel::Error, 1, 0, "a");
    second.Configure(EverythingSettings());
    LogFormat(LogLevel::Error, 1, 0, "b");
    EXPECT_EQ(sequence, (std::vector<std::string>{"second:a", "first:a", "first:b", "second:b"}));
}

TEST_F(LoggerTest, FindTargetByExactName) {
    LogTargetInterface* stdErr = logger().StdErrTarget().Interface();
    EXPECT_EQ(logger().FindTarget("StdErrLogTarget"), stdErr);
    EXPECT_EQ(logger().FindTarget("DebuggerConsoleLogTarget"), logger().DebuggerTarget().Interface());
    EXPECT_EQ(logger().FindTarget("StdOutLogTarget"), nullptr) << "built but not attached";
    EXPECT_EQ(logger().FindTarget("stderrlogtarget"), nullptr);
    EXPECT_EQ(logger().FindTarget("StdErr"), nullptr);
    EXPECT_EQ(logger().FindTarget(nullptr), nullptr);
    stdErr->Detach(stdErr);
    EXPECT_EQ(logger().FindTarget("StdErrLogTarget"), nullptr);
}

TEST_F(LoggerTest, RawListOperations) {
    DetachConsoleTargets();
    RecordingTarget target(EverythingSettings());
    LogTargetInterface* face = target.Interface();
    logger().AddTarget(face);
    logger().AddTarget(face);
    EXPECT_FALSE(target.IsAttached());
    LogFormat(LogLevel::Error, 1, 0, "twice");
    EXPECT_EQ(target.entries.size(), 2u);
    logger().RemoveTarget(face);
    LogFormat(LogLevel::Error, 1, 0, "gone");
    EXPECT_EQ(target.entries.size(), 2u) << "every occurrence is removed";
}

// A target that notes the moment the logger detaches it.
struct DetachRecorder : LogTarget {
    DetachRecorder(const char* name, std::vector<std::string>& order) : name(name), order(order) {}
    void Detach() override {
        if (IsAttached()) order.push_back(name);
        LogTarget::Detach();
    }
    const char* GetName() const override { return name; }
    const char* name;
    std::vector<std::string>& order;
};

TEST_F(LoggerTest, ReferencesDecideTheLoggersLife) {
    logger().SetMinimumLevel(LogLevel::Always);
    AcquireLogger();
    ReleaseLogger();
    EXPECT_EQ(logger().GetMinimumLevel(), LogLevel::Always) << "one reference is still held";

    std::vector<std::string> order;
    DetachRecorder first("first", order), second("second", order);
    first.Attach();
    second.Attach();
    ReleaseLogger();
    EXPECT_EQ(Logger::Current(), nullptr);
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"})) << "last attached is detached first";
    EXPECT_FALSE(first.IsAttached());
    EXPECT_FALSE(second.IsAttached());

    ReleaseLogger();
    EXPECT_EQ(Logger::Current(), nullptr) << "a release without a reference does nothing";
    AcquireLogger();
    EXPECT_EQ(logger().GetMinimumLevel(), LogLevel::Warn) << "a new logger starts from the defaults";
}

TEST_F(LoggerTest, DestroyingTheLoggerEmptiesRawEntriesToo) {
    RecordingTarget target(EverythingSettings());
    logger().AddTarget(target.Interface());
    ReleaseLogger();
    AcquireLogger();
    DetachConsoleTargets();
    LogFormat(LogLevel::Error, 1, 0, "after");
    EXPECT_TRUE(target.entries.empty());
}

TEST_F(LoggerTest, LoggingCreatesTheLogger) {
    ReleaseLogger();
    ASSERT_EQ(Logger::Current(), nullptr);
    testing::internal::CaptureStderr();
    LogFormat(LogLevel::Okay, 1, 0, "dropped by the new logger");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(Logger::Current(), nullptr);
    AcquireLogger();
}

TEST(ExecutableName, StripsTheDirectory) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\Games\\Client\\host.exe", "host.exe"},
        {"/opt/client/host", "host"},
        {"C:\\mixed/dir\\host.exe", "host.exe"},
        {"C:/mixed\\dir/host", "host"},
        {"host.exe", "host.exe"},
        {"dir\\", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ExecutableNameOfPath(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace Zarvo
