#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "log_test_support.h"
#include "platform/log.h"
#include "platform/log_target.h"

namespace Zarvo {
namespace {

using LogTesting::EverythingSettings;
using LogTesting::FreshLogger;
using LogTesting::RecordingTarget;

class LogTargetTest : public FreshLogger {
protected:
    void SetUp() override {
        FreshLogger::SetUp();
        DetachConsoleTargets();
        logger().SetMinimumLevel(LogLevel::Okay);
        logger().SetExcludedCategories(0);
    }
};

TEST_F(LogTargetTest, FiltersByLevelAndCategories) {
    struct Case {
        LogLevel targetLevel;
        uint64_t included;
        uint64_t excluded;
        LogLevel level;
        uint64_t categories;
        bool written;
    } cases[] = {
        {LogLevel::Warn, 0, 0, LogLevel::Okay, LogCategory::DBG, false},
        {LogLevel::Warn, 0, 0, LogLevel::Warn, LogCategory::DBG, true},
        {LogLevel::Okay, LogCategory::DBG, 0, LogLevel::Okay, LogCategory::GEN, false},
        {LogLevel::Okay, LogCategory::DBG, 0, LogLevel::Okay, LogCategory::DBG | LogCategory::GEN, true},
        {LogLevel::Okay, LogCategory::DBG, 0, LogLevel::Okay, 0, true},
        {LogLevel::Okay, 0, LogCategory::GEN, LogLevel::Okay, LogCategory::DBG | LogCategory::GEN, false},
        {LogLevel::Okay, 0, LogCategory::GEN, LogLevel::Okay, 0, true},
        {LogLevel::Okay, 1ull << 33, 0, LogLevel::Okay, 1ull << 33, true},
        {LogLevel::Okay, 1ull << 33, 0, LogLevel::Okay, 1ull << 1, false},
        {LogLevel::Always, 0, 0, LogLevel::Error, 0, false},
    };
    RecordingTarget target;
    for (const Case& c : cases) {
        target.Configure({c.targetLevel, c.included, c.excluded, "#M"});
        target.entries.clear();
        LogFormat(c.level, static_cast<uint32_t>(c.categories), static_cast<uint32_t>(c.categories >> 32), "m");
        EXPECT_EQ(target.entries.size(), c.written ? 1u : 0u)
            << "level " << static_cast<int>(c.level) << " categories " << std::hex << c.categories;
    }
}

TEST_F(LogTargetTest, ConfigureTakesOverTheSettingsAndAttaches) {
    RecordingTarget target;
    EXPECT_EQ(target.GetLevel(), LogLevel::Warn);
    EXPECT_STREQ(target.GetPattern(LogEntry{}), "#D| #L| #G| #M");
    EXPECT_FALSE(target.IsAttached());

    target.Configure({LogLevel::Error, LogCategory::DBG | LogCategory::GEN, LogCategory::GEN, "#L:#M"});
    EXPECT_TRUE(target.IsAttached());
    EXPECT_EQ(target.GetLevel(), LogLevel::Error);
    EXPECT_EQ(target.GetIncludedCategories(), LogCategory::DBG) << "excluded bits leave the included mask";
    EXPECT_EQ(target.GetExcludedCategories(), LogCategory::GEN);
    LogFormat(LogLevel::Error, 1, 0, "text");
    ASSERT_EQ(target.entries.size(), 1u);
    EXPECT_EQ(target.entries[0].line, " ERROR:text\n");
}

TEST_F(LogTargetTest, PlainFunctionFace) {
    RecordingTarget target;
    LogTargetInterface* face = target.Interface();
    EXPECT_EQ(face->Version(face), 1);
    face->SetLevel(face, LogLevel::Always);
    EXPECT_EQ(face->GetLevel(face), LogLevel::Always);
    face->SetCategories(face, 0x3, 0x2, 0x1, 0x0);
    EXPECT_EQ(face->GetIncludedCategories(face), 0x200000002ull);
    EXPECT_EQ(face->GetExcludedCategories(face), 0x1ull);
    EXPECT_STREQ(face->GetName(face), "LogTarget");
    const LogEntry entry{{}, LogLevel::Okay, 0, 0, "m"};
    EXPECT_STREQ(face->GetPattern(face, &entry), "#D| #L| #G| #M");

    face->Attach(face);
    face->Attach(face);
    EXPECT_TRUE(face->IsAttached(face));
    LogFormat(LogLevel::Always, 0, 0, "once");
    EXPECT_EQ(target.entries.size(), 1u) << "attaching twice adds the target once";
    face->Detach(face);
    EXPECT_FALSE(face->IsAttached(face));
    LogFormat(LogLevel::Always, 0, 0, "none");
    EXPECT_EQ(target.entries.size(), 1u);

    EXPECT_TRUE(face->Write(face, &entry));
    LogTarget plain;
    EXPECT_FALSE(plain.Interface()->Write(plain.Interface(), &entry)) << "a plain target writes nothing";
}

TEST_F(LogTargetTest, DestroyedTargetLeavesTheList) {
    {
        LogTarget target(EverythingSettings());
        target.Attach();
        EXPECT_EQ(logger().FindTarget("LogTarget"), target.Interface());
    }
    EXPECT_EQ(logger().FindTarget("LogTarget"), nullptr);
    LogFormat(LogLevel::Error, 1, 0, "no target left");
}

// Configure takes the logger's lock and then the target's, as delivery does; with the opposite order the two
// threads below would soon wait for each other forever. A busy target ahead of the reconfigured one keeps the
// logging thread inside the logger's lock most of the time, which makes a wrong order show at once.
TEST_F(LogTargetTest, ReconfiguringWhileAnotherThreadLogsCannotDeadlock) {
    struct BusyTarget : LogTarget {
        using LogTarget::LogTarget;
        ~BusyTarget() override { Detach(); }
        bool Write(const LogEntry& entry) override {
            char line[LogBufferSize];
            for (int i = 0; i < 8; ++i) FormatLine(line, sizeof line, "#D #G #L #M #M #M", entry);
            return true;
        }
    };
    constexpr int rounds = 5000;
    BusyTarget busy;
    busy.Configure(EverythingSettings());
    RecordingTarget target;
    target.Configure(EverythingSettings());
    std::atomic<bool> started{false}, finished{false};
    std::thread logging([&] {
        started = true;
        for (int i = 0; i < rounds; ++i) LogFormat(LogLevel::Error, 1, 0, "entry %d", i);
        finished = true;
    });
    while (!started) std::this_thread::yield();
    for (int i = 0; !finished; ++i) target.Configure({LogLevel::Okay, 0, 0, i % 2 ? "#M" : "#L #M"});
    logging.join();
    EXPECT_TRUE(target.IsAttached());
    EXPECT_EQ(target.entries.size(), static_cast<size_t>(rounds)) << "reconfiguring never loses an entry";
}

}  // namespace
}  // namespace Zarvo
