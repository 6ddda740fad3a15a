#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "formats/plugin_value.h"
#include "platform/log.h"
#include "platform/log_target.h"
#include "platform/logger.h"
#include "runtime_test_support.h"

namespace Zarvo::Client::Testing {
namespace {

// Keeps the message of every entry that reaches it.
class MessageRecorder : public LogTarget {
public:
    MessageRecorder() : LogTarget({LogLevel::Okay, 0, 0, "#M"}) {}
    ~MessageRecorder() override { Detach(); }
    bool Write(const LogEntry& entry) override {
        std::lock_guard lock(lock_);
        messages.emplace_back(entry.message);
        return true;
    }
    std::vector<std::string> messages;
};

// Holds the logger for the whole test, with a recorder in place of the console targets, so that log lines before
// Init can be seen.
class PluginLifecycle : public RuntimeTest {
protected:
    void SetUp() override {
        AcquireLogger();
        Logger::Instance().StdErrTarget().Detach();
        Logger::Instance().DebuggerTarget().Detach();
        recorder.Attach();
    }
    void TearDown() override {
        RuntimeTest::TearDown();
        recorder.Detach();
        ReleaseLogger();
    }

    MessageRecorder recorder;
};

TEST_F(PluginLifecycle, CoreVersionsOfMajor18AtOrAbove18_0_0Load) {
    const struct {
        uint32_t major, minor, patch;
        bool loads;
    } cases[] = {{18, 0, 0, true}, {18, 7, 3, true}, {17, 9, 9, false}, {19, 0, 0, false}};
    for (const auto& c : cases) {
        recorder.messages.clear();
        Load(c.major, c.minor, c.patch);
        EXPECT_EQ(plugin != nullptr, c.loads) << c.major << "." << c.minor << "." << c.patch;
        EXPECT_EQ(TestPlugin::liveInstances, c.loads ? 1 : 0);
        if (c.loads) {
            EXPECT_TRUE(recorder.messages.empty());
            EXPECT_EQ(plugin->CoreVersion().versionMinor, c.minor);
            EXPECT_EQ(plugin->CoreVersion().versionPatch, c.patch);
        } else {
            EXPECT_EQ(recorder.messages, std::vector<std::string>{"Assertion failed!\n\nExpression: ALE-EECF0606"});
            EXPECT_EQ(ValueOf(block.entryTable), nullptr);
            EXPECT_EQ(ValueOf(block.instance), nullptr);
            EXPECT_EQ(ValueOf(block.shortName), nullptr);
            EXPECT_EQ(ValueOf(block.description), nullptr);
        }
        Destroy();
    }
}

TEST_F(PluginLifecycle, LoadFillsTheBlockAndRegistersTheRuntimeTypesBeforeThePlugins) {
    Load(18, 7, 3);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(ValueOf(block.versionMajor), 18u);
    EXPECT_EQ(ValueOf(block.versionMinor), 0u);
    EXPECT_EQ(ValueOf(block.versionPatch), 0u);
    EXPECT_EQ(ValueOf(block.entryTable), &plugin->EntryTable());
    EXPECT_EQ(std::string(block.shortName), "kiv-runtime-test");
    EXPECT_EQ(plugin->Name().fullName, "tso-be-kiv-runtime-test");
    EXPECT_EQ(plugin->Name().typeName, "backend");
    EXPECT_EQ(plugin->RouteTags(), (std::vector<std::string>{"Plugins", "Plugin kiv-runtime-test"}));
    EXPECT_NE(plugin->Registry().FindEvent("OnJsonApiEvent"), nullptr);
    EXPECT_NE(plugin->Registry().FindType("Session"), nullptr);
    EXPECT_NE(plugin->Registry().FindEvent("OnCallback"), nullptr);
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(PluginLifecycle, TheApiDescriptionListsTheRuntimeEventsAndThePluginsRoutes) {
    Load();
    ASSERT_NE(ValueOf(block.description), nullptr);
    const PluginApiDescription& description = *block.description;
    std::vector<std::string> zclientEvents;
    for (uint32_t index = 0; index < description.eventCount; ++index) {
        const ApiEventRecord& event = description.events[index];
        const char* const* tags = event.tags;
        if (event.tagCount == 1 && std::string(tags[0]) == "zclient")
            zclientEvents.push_back(std::string(event.name) + " " + event.payloadTypeName + " " + event.description);
    }
    std::sort(zclientEvents.begin(), zclientEvents.end());
    EXPECT_EQ(zclientEvents,
              (std::vector<std::string>{
                  "OnJsonApiEvent PluginResourceEvent Fired when a resource is changed.",
                  "OnLcdsEvent PluginLcdsEvent Fired when a message is received over the LCDS connection.",
                  "OnServiceProxyAsyncEvent PluginServiceProxyResponse Fired when an async service proxy message is "
                  "received.",
                  "OnServiceProxyMethodEvent PluginServiceProxyResponse Fired when a method-based service proxy "
                  "message is received.",
                  "OnServiceProxyUuidEvent PluginServiceProxyResponse Fired when a uuid-based service proxy message "
                  "is received.",
              }));

    // The plugin's route carries the route tags and answers through its dispatch callback.
    ASSERT_EQ(ValueOf(description.functionCount), 1u);
    const ApiFunctionEntry& entry = description.functions[0];
    EXPECT_EQ(std::string(entry.path), "/kiv-runtime-test/v1/session");
    const char* const* tags = entry.function.tags;
    ASSERT_EQ(ValueOf(entry.function.tagCount), 2u);
    EXPECT_EQ(std::string(tags[0]), "Plugins");
    EXPECT_EQ(std::string(tags[1]), "Plugin kiv-runtime-test");
    PluginRequestRecord request{};
    request.method = static_cast<uint32_t>(Method::Get);
    request.path = "/kiv-runtime-test/v1/session";
    request.dispatchContext = entry.function.dispatchContext;
    PluginResponseRecord response{};
    const PluginDispatchCallback dispatch = entry.dispatch;
    dispatch(&response, &request);
    BindingProperty answer;
    std::string error;
    ASSERT_TRUE(FromPluginValue(error, answer, response.result, "<result>")) << error;
    EXPECT_EQ(answer.Child("accountId").GetUnsigned(0), 12u);
    response.free(&response);
}

TEST_F(PluginLifecycle, FullNamesFollowTheType) {
    EXPECT_EQ(GetFullNameFromShortNameAndType("kiv-a", "backend"), "tso-be-kiv-a");
    EXPECT_EQ(GetFullNameFromShortNameAndType("kiv-a", "frontend"), "tso-fe-kiv-a");
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(GetFullNameFromShortNameAndType("kiv-a", "Backend"), "tso-xx-kiv-a");
    EXPECT_EQ(recorder.messages,
              std::vector<std::string>{"            Plugin Manager| GetFullNameFromShortNameAndType(\"kiv-a\", "
                                       "\"Backend\") called with an unknown type"});
}

TEST_F(PluginLifecycle, AFailingLoadLeavesTheBlockEmptyAndFreesThePlugin) {
    TestPlugin::throwInRegisterApi = true;
    Load();
    TestPlugin::throwInRegisterApi = false;
    EXPECT_EQ(plugin, nullptr);
    EXPECT_EQ(ValueOf(block.entryTable), nullptr);
    EXPECT_EQ(TestPlugin::liveInstances, 0);
}

TEST_F(PluginLifecycle, InitReturnsWhatStartReturnsAndNeverThrows) {
    Start([](TestPlugin&) { return false; });
    EXPECT_EQ(initResult, 0);
    Destroy();
    Start([](TestPlugin&) -> bool { throw std::runtime_error("start failed"); });
    EXPECT_EQ(initResult, 0);
    Destroy();
    Start();
    EXPECT_EQ(initResult, 1);
    EXPECT_EQ(plugin->PluginHandle(), core.InitBlock().pluginHandle);
    EXPECT_EQ(plugin->CoreApi(), core.Api());
}

TEST_F(PluginLifecycle, AfterInitLogLinesGoToTheCoreThroughOneTarget) {
    Start();
    LogFormat(LogLevel::Okay, static_cast<uint32_t>(LogCategory::DBG), 0, "first %d", 1);
    ASSERT_EQ(core.logs.size(), 1u);
    EXPECT_EQ(core.logs[0].level, 0);
    EXPECT_EQ(core.logs[0].text, "first 1");

    // A second plugin in the same process finds the target attached and attaches none of its own.
    DevCore::TestCore secondCore;
    PluginLoadBlock secondBlock{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
    LoadPlugin<TestPlugin>(&secondBlock);
    ASSERT_NE(ValueOf(secondBlock.instance), nullptr);
    const PluginInitBlock secondInit = secondCore.InitBlock();
    EXPECT_EQ(secondBlock.entryTable->Init(secondBlock.instance, &secondInit), 1);
    LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::DBG), 0, "second");
    EXPECT_EQ(core.logs.size(), 2u);
    EXPECT_TRUE(secondCore.logs.empty());
    secondBlock.entryTable->Destroy(secondBlock.instance);
}

TEST_F(PluginLifecycle, DestroyLeavesNoSubscriptionAtTheCore) {
    core.SetValue("/kiv-login/v1/session", SessionValue("SUCCEEDED", 1));
    Start([](TestPlugin& p) {
        p.SubscribeResource<Session>("/kiv-login/v1/session", [](const auto&) {});
        p.SubscribeResource<BindingProperty>("/kiv-a/v1/*", [](const auto&) {});
        p.SubscribeResource<BindingProperty>("/kiv-a/v1/x", [](const auto&) {});
        return true;
    });
    EXPECT_EQ(core.subscriptions.size(), 6u);
    Destroy();
    EXPECT_TRUE(core.subscriptions.empty());
    EXPECT_EQ(TestPlugin::liveInstances, 0);
    EXPECT_EQ(CallsStartingWith("UnsubscribeEvent").size(), 6u);
}

TEST_F(PluginLifecycle, MemoryStatisticsComeFromTheCounters) {
    Load();
    PluginMemoryStats stats{};
    block.entryTable->GetMemoryStats(block.instance, &stats);
    EXPECT_GT(stats.allocations, 0u);
    EXPECT_GE(stats.bytesAllocated, stats.bytesFreed);
    EXPECT_EQ(stats.reserved, 0u);
}

}  // namespace
}  // namespace Zarvo::Client::Testing
