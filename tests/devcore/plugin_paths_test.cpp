// Which plugin libraries a run loads: paths are files, relative to the current folder (--plugin) or to the
// scenario file (plugins:), each file loads once, and two files of one plugin are refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "devcore_program.h"

namespace Zarvo::DevCore::Testing {
namespace {

// The level-up plugin publishes its level-up once: two events, never four.
constexpr std::string_view kLevelUpSteps = R"(steps:
  - put: /kiv-login/v1/session
    value: {state: SUCCEEDED, summonerId: 11, accountId: 22}
  - put: /kiv-end-of-game/v1/eog-stats-block
    value: {leveledUp: true, previousLevel: 4}
    events: [OnJsonApiEvent_kiv-player-level-up_v1_level-up, OnJsonApiEvent]
)";

TEST(PluginPaths, ALibraryNamedTwiceLoadsOnce) {
    const ScratchFolder scratch;
    const std::string library = std::filesystem::path(kLevelUpLibrary).filename().string();
    const std::string folder = std::filesystem::path(kLevelUpLibrary).parent_path().string();
    std::filesystem::create_directory_symlink(folder, scratch / "build");
    const std::string scenario =
        scratch.Write("story.yaml", "plugins: [build/" + library + "]\n" + std::string(kLevelUpSteps));

    const ProgramRun run = RunDevcore("run " + scenario + " --plugin " + library + " --plugin " + kLevelUpLibrary,
                                      "", folder);
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST(PluginPaths, TwoFilesOfOnePluginAreRefused) {
    const ScratchFolder scratch;
    std::filesystem::copy_file(kLevelUpLibrary, scratch / "kiv-player-level-up.so");
    const std::string scenario =
        scratch.Write("story.yaml", "plugins: [kiv-player-level-up.so]\n" + std::string(kLevelUpSteps));
    const std::string copy = std::filesystem::canonical(scratch / "kiv-player-level-up.so").string();
    const std::string original = std::filesystem::canonical(kLevelUpLibrary).string();

    const ProgramRun run = RunDevcore("run " + scenario + " --plugin " + kLevelUpLibrary);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output.substr(0, run.output.find('\n') + 1),
              scenario + ": " + original + " holds the plugin kiv-player-level-up, which is loaded already from " +
                  copy + "; a core loads one plugin of each name\n");
}

TEST(PluginPaths, PathsWithoutASlashAreFilesInTheirFolder) {
    const ScratchFolder scratch;
    std::filesystem::copy_file(kLevelUpLibrary, scratch / "kiv-player-level-up.so");
    scratch.Write("named.yaml", "plugins: [kiv-player-level-up.so]\n" + std::string(kLevelUpSteps));
    scratch.Write("unnamed.yaml", kLevelUpSteps);

    const struct {
        std::string arguments;
        std::string folder;
    } cases[] = {
        {"run named.yaml", scratch / ""},
        {"run unnamed.yaml --plugin kiv-player-level-up.so", scratch / ""},
        {"run " + scratch / "named.yaml", "/"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunDevcore(c.arguments, "", c.folder);
        EXPECT_EQ(run.status, 0) << c.arguments << "\n" << run.output;
    }
    // --plugin is relative to the current folder, not to the scenario.
    const ProgramRun run = RunDevcore("run " + scratch / "unnamed.yaml" + " --plugin kiv-player-level-up.so", "", "/");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(run.output, "devcore: cannot read kiv-player-level-up.so: No such file or directory\n");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
