#include <gtest/gtest.h>

#include <string>

#include "log_test_support.h"
#include "platform/assertion.h"

namespace Zarvo {
namespace {

using LogTesting::EverythingSettings;
using LogTesting::FreshLogger;
using LogTesting::RecordingTarget;

class AssertionReport : public FreshLogger {};

TEST_F(AssertionReport, TextOfEachPart) {
    const std::string longText(5000, 'e');
    struct Case {
        const char* expression;
        const char* description;
        const char* file;
        uint32_t line;
        const char* function;
        std::string expected;
    } cases[] = {
        {"x > 0", "", "tracker", 12, "f",
         "Assertion failed!\n\nFile: tracker\nLine: 12\n\nFunction: f\n\nExpression: x > 0"},
        {"x > 0", nullptr, nullptr, 0, nullptr, "Assertion failed!\n\nExpression: x > 0"},
        {"ALE-EECF0606", nullptr, "", 0, "", "Assertion failed!\n\nExpression: ALE-EECF0606"},
        {"ok", "why", "a.cpp", 0, nullptr, "Assertion failed!\n\nFile: a.cpp\nExpression: ok\n\nDescription: why"},
        {nullptr, "why", nullptr, 4294967295u, nullptr, "Assertion failed!\n\nLine: 4294967295\n\n\n\nDescription: why"},
        {"", nullptr, nullptr, 0, nullptr, "Assertion failed!\n\n"},
        {longText.c_str(), nullptr, nullptr, 0, nullptr,
         ("Assertion failed!\n\nExpression: " + longText).substr(0, LogBufferSize - 1)},
    };
    DetachConsoleTargets();
    RecordingTarget target;
    target.Configure(EverythingSettings());
    for (const Case& c : cases) {
        target.entries.clear();
        ReportAssertion(c.expression, c.description, c.file, c.line, c.function);
        ASSERT_EQ(target.entries.size(), 1u);
        EXPECT_EQ(target.entries[0].message, c.expected);
        EXPECT_EQ(target.entries[0].level, LogLevel::Error);
        EXPECT_EQ(target.entries[0].categories, LogCategory::DBG);
    }
}

TEST_F(AssertionReport, ReachesStandardErrorByDefault) {
    testing::internal::CaptureStderr();
    ReportAssertion("x > 0");
    EXPECT_NE(testing::internal::GetCapturedStderr().find(" ERROR| Assertion failed!\n\nExpression: x > 0\n"),
              std::string::npos);
}

}  // namespace
}  // namespace Zarvo
