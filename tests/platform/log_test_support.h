// A logger built afresh for every test, and a target that keeps what it is given.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/log_line.h"
#include "platform/log_target.h"
#include "platform/logger.h"

namespace Zarvo::LogTesting {

// Releasing the last reference destroys the logger, so each test starts from a newly built one.
class FreshLogger : public ::testing::Test {
protected:
    void SetUp() override {
        AcquireLogger();
        ReleaseLogger();
        AcquireLogger();
    }
    void TearDown() override { ReleaseLogger(); }

    static Logger& logger() { return Logger::Instance(); }

    // Keeps the console quiet for tests that look only at their own targets.
    static void DetachConsoleTargets() {
        logger().StdErrTarget().Detach();
        logger().DebuggerTarget().Detach();
    }
};

struct RecordedEntry {
    LogLevel level;
    uint64_t categories;
    std::string message;
    std::string line;
};

// Keeps every entry written to it, with the line its pattern makes of it.
class RecordingTarget : public LogTarget {
public:
    using LogTarget::LogTarget;
    ~RecordingTarget() override { Detach(); }

    bool Write(const LogEntry& entry) override {
        std::lock_guard lock(lock_);
        char line[LogBufferSize];
        FormatLine(line, sizeof line, GetPattern(entry), entry);
        entries.push_back({entry.level, CategoryMask(entry.categoryLow, entry.categoryHigh), entry.message, line});
        return true;
    }

    std::vector<RecordedEntry> entries;
};

// Lets every entry through and writes just the message.
inline LogTargetSettings EverythingSettings() { return {LogLevel::Okay, 0, 0, "#M"}; }

}  // namespace Zarvo::LogTesting
