// The JUnit XML of a run: one test case per scenario file played, failures and errors with their reports, and
// every text made well-formed XML.
#include "devcore/junit_report.h"

#include <gtest/gtest.h>

#include "devcore/input_files.h"
#include "devcore_program.h"

namespace Zarvo::DevCore::Testing {
namespace {

ScenarioRun Played(ScenarioRun::Outcome outcome, std::string report) {
    ScenarioRun run;
    run.outcome = outcome;
    run.report = std::move(report);
    return run;
}

TEST(JUnitReport, OneTestCaseForEachScenarioFilePlayed) {
    const std::vector<ScenarioCase> cases = {
        {"scenarios/story.yaml", Played(ScenarioRun::Outcome::Passed, ""), 0.0125},
        {"story.yaml", Played(ScenarioRun::Outcome::Failed, "s.yaml:3:5: the <error> & \"text\"\n  got:      1\n"), 0.5},
        {"a&b/odd.yaml", Played(ScenarioRun::Outcome::Error, "bytes \x01\xff\xc3\xa9\xed\xa0\x80 end\n"), 0},
        {"skipped.yaml", Played(ScenarioRun::Outcome::Deselected, ""), 0},
    };
    EXPECT_EQ(JUnitXml(cases, 1.5),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<testsuites name=\"devcore run\" tests=\"3\" failures=\"1\" errors=\"1\" skipped=\"0\" time=\"1.500\">\n"
              "  <testsuite name=\"devcore run\" tests=\"3\" failures=\"1\" errors=\"1\" skipped=\"0\" time=\"1.500\">\n"
              "    <testcase name=\"story.yaml\" classname=\"scenarios\" file=\"scenarios/story.yaml\" time=\"0.013\"/>\n"
              "    <testcase name=\"story.yaml\" classname=\".\" file=\"story.yaml\" time=\"0.500\">\n"
              "      <failure message=\"s.yaml:3:5: the &lt;error&gt; &amp; &quot;text&quot;\">s.yaml:3:5: the "
              "&lt;error&gt; &amp; &quot;text&quot;\n  got:      1\n</failure>\n"
              "    </testcase>\n"
              "    <testcase name=\"odd.yaml\" classname=\"a&amp;b\" file=\"a&amp;b/odd.yaml\" time=\"0.000\">\n"
              "      <error message=\"bytes \xEF\xBF\xBD\xEF\xBF\xBD\xc3\xa9\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD end\">"
              "bytes \xEF\xBF\xBD\xEF\xBF\xBD\xc3\xa9\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD end\n</error>\n"
              "    </testcase>\n"
              "  </testsuite>\n"
              "</testsuites>\n");
}

TEST(JUnitReport, RunWritesItToTheFileGivenOrRefusesAFileItCannotWrite) {
    const ScratchFolder scratch;
    const std::string scenario = scratch.Write("s.yaml", "steps:\n  - put: /a\n    value: 1\n");
    ProgramRun run = RunDevcore("run " + scenario + " --plugin " + kLevelUpLibrary + " --junit " + scratch / "r.xml");
    EXPECT_EQ(run.status, 0) << run.output;
    std::string xml, error;
    ASSERT_TRUE(ReadFile(scratch / "r.xml", xml, error)) << error;
    const std::string folder = std::filesystem::path(scenario).parent_path().string();
    EXPECT_NE(xml.find("<testcase name=\"s.yaml\" classname=\"" + folder + "\" file=\"" + scenario + "\""),
              std::string::npos)
        << xml;

    run = RunDevcore("run " + scenario + " --plugin " + kLevelUpLibrary + " --junit " + scratch / "no/r.xml");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "devcore: cannot write " + scratch / "no/r.xml" + ": No such file or directory\n");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
