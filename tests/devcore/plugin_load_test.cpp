#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "devcore_fixture.h"

namespace Zarvo::DevCore::Testing {
namespace {

TEST(PluginLoadTest, LoadsTheLevelUpLibraryWhichSubscribesThroughItsOwnHandle) {
    TestCore core;
    std::string error;
    ASSERT_TRUE(core.Load(kLevelUpLibrary, &error)) << error;
    EXPECT_EQ(core.LoadedPlugins(), std::vector<std::string>{"kiv-player-level-up"});
    EXPECT_TRUE(core.IsSubscribed("OnJsonApiEvent_kiv-login_v1_session"));
    EXPECT_TRUE(core.IsSubscribed("OnServiceProxyAsyncEvent"));
    for (const Subscription& subscription : core.subscriptions)
        EXPECT_NE(subscription.pluginHandle, core.InitBlock().pluginHandle) << subscription.name;
    EXPECT_TRUE(core.Serves("/kiv-player-level-up/v1/level-up-notifications/anyone"));
    EXPECT_FALSE(core.Serves("/kiv-player-level-up/v1"));
}

// Destroy runs when the core ends, also for a plugin that keeps its subscriptions.
TEST(PluginLoadTest, TheCoreDestroysItsPluginsNewestFirst) {
    std::vector<std::string> story;
    {
        TestCore core;
        core.SetStory([&](std::string_view line) { story.emplace_back(line); });
        std::string error;
        ASSERT_TRUE(core.Load(kLevelUpLibrary, &error)) << error;
        ASSERT_TRUE(core.Load(FakeLibrary("kiv-fake-queues"), &error)) << error;
        EXPECT_EQ(core.logs.size(), 0u);
    }
    std::vector<std::string> ends;
    for (const std::string& line : story)
        if (line.starts_with("  unload") || line.ends_with("destroyed")) ends.push_back(line);
    EXPECT_EQ(ends, (std::vector<std::string>{"  log     OKAY   kiv-fake-queues: destroyed", "  unload  kiv-fake-queues",
                                              "  unload  kiv-player-level-up"}));
}

TEST(PluginLoadTest, RefusesWhatIsNoPluginOfThisCoreWithAClearError) {
    const ScratchFolder scratch;
    scratch.Write("kiv-text.so", "not a library\n");
    std::filesystem::copy_file(FakeLibrary("kiv-fake-queues"), scratch / "kiv-renamed.so");
    struct Case {
        std::string library;
        std::string error;  // the start of the message
    } const cases[] = {
        {scratch / "kiv-missing.so", scratch / "kiv-missing.so: "},
        {scratch / "kiv-text.so", scratch / "kiv-text.so: "},
        {scratch / "kiv-renamed.so", scratch / "kiv-renamed.so: no entry point load_kiv_renamed"},
        {FakeLibrary("kiv-fake-old"), "kiv-fake-old speaks plugin API 17.0.0, this core 18.0.0"},
        {FakeLibrary("kiv-fake-failing"), "kiv-fake-failing: Init failed"},
    };
    for (const Case& c : cases) {
        StoryCore story;
        std::string error;
        EXPECT_FALSE(story.core.Load(c.library, &error)) << c.library;
        EXPECT_TRUE(error.starts_with(c.error)) << error;
        EXPECT_EQ(story.Lines("  load    failed: "), std::vector<std::string>{"  load    failed: " + error});
        EXPECT_TRUE(story.core.LoadedPlugins().empty());
        EXPECT_TRUE(story.core.subscriptions.empty()) << c.library;
    }
}

TEST(PluginLoadTest, APluginWhoseInitFailsIsDestroyed) {
    TestCore core;
    std::string error;
    EXPECT_FALSE(core.Load(FakeLibrary("kiv-fake-failing"), &error));
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.logs[0].text, "destroyed");
    EXPECT_EQ(core.logs[0].plugin, "kiv-fake-failing");
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
