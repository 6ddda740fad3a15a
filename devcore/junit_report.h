// The results of devcore run as JUnit XML, the report format that CI servers read.
#pragma once

#include <string>
#include <vector>

#include "devcore/run_command.h"

namespace Zarvo::DevCore {

struct ScenarioCase {
    std::string file;  // as named on the command line, or found in a folder named there
    ScenarioRun run;
    double seconds = 0;
};

// One test suite, "devcore run", with one test case per scenario file played (deselected ones are left out): a
// failure for an expectation not met, an error for a file that could not be played, each with its report.
std::string JUnitXml(const std::vector<ScenarioCase>& cases, double seconds);

}  // namespace Zarvo::DevCore
