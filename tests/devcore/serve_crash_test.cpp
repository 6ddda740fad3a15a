// A plugin that crashes ends only the process that runs the plugins: its request is answered 500 naming the plugin,
// the signal and the call, and the plugins are loaded again with the store and the events kept.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <thread>
#include <utility>

#include "devcore_fixture.h"
#include "environment_setting.h"
#include "serve_process.h"

namespace Zarvo::DevCore::Testing {
namespace {

// Under a user-mode emulator devcore cannot start itself again and runs the plugins in its own process.
constexpr bool kEmulated = sizeof(KIV_EMULATOR) > 1;

// The fake plugin's misbehaviour, in the environment that the devcore started meanwhile inherits.
class BreachEnvironment {
public:
    explicit BreachEnvironment(const char* way)
        : way_("KIV_FAKE_BREACH", way),
          // The sanitizers would take the crash for their own report; the crash is devcore's to report here.
          sanitizer_("ASAN_OPTIONS", std::string(std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "") +
                                         ":handle_segv=0:handle_abort=0") {}

private:
    EnvironmentSetting way_;
    EnvironmentSetting sanitizer_;
};

TEST(ServeCrashTest, AnswersACrashWith500AndServesOnWithTheStoreAndTheEvents) {
    if (kEmulated) GTEST_SKIP() << "no child process can be started under the emulator";
    for (const auto& [way, signal] : {std::pair{"dispatch-crash", "SIGSEGV"}, {"dispatch-abort", "SIGABRT"}}) {
        SCOPED_TRACE(way);
        const BreachEnvironment environment(way);
        ServeProcess serve({"--plugin", kLevelUpLibrary, "--plugin", FakeLibrary("kiv-fake-breach")});
        const int port = serve.Port();
        EXPECT_EQ(Ask(port, "PUT", "/kiv-store/v1/thing", "[1]").Text(), "201 [1]");
        // The level-up plugin sends its event twice, as event 1 and event 2.
        Ask(port, "PUT", "/kiv-login/v1/session", R"({"state":"SUCCEEDED","summonerId":11,"accountId":22})");
        Ask(port, "POST", "/kiv-end-of-game/v1/eog-stats-block", R"({"leveledUp":true,"previousLevel":4})");

        const std::string crash = "kiv-fake-breach crashed with " + std::string(signal) +
                                  " in its dispatch callback for GET /kiv-fake-breach/v1/thing";
        EXPECT_EQ(Ask(port, "GET", "/kiv-fake-breach/v1/thing").Text(), "500 {\"error\":\"" + crash + "\"}");
        EXPECT_TRUE(serve.Process().WaitForOutput("devcore: FAIL " + crash + "\n")) << serve.Output();

        EXPECT_EQ(Ask(port, "GET", "/kiv-fake-breach/v1/loop").Text(), "200 null");
        EXPECT_EQ(Ask(port, "GET", "/kiv-store/v1/thing").Text(), "200 [1]");
        // Stored before the crash, so an update now.
        EXPECT_EQ(Ask(port, "PUT", "/kiv-store/v1/thing", "[2]").Text(), "200 [2]");
        EventStreamReader back(port, {{"Last-Event-ID", "1"}});
        const std::string events = back.ReadUntil("id: 2\n");
        EXPECT_TRUE(events.starts_with(": connected\n\nid: 2\nevent: OnJsonApiEvent\n")) << events;

#ifndef _WIN32  // Windows sends no signal to another process
        if (!kSignalsReachDevcore) continue;
        ASSERT_TRUE(serve.Process().Signal(SIGINT));
        EXPECT_EQ(serve.Process().Wait(), 0);
        EXPECT_TRUE(serve.Output().ends_with("devcore: stopping\ndevcore: stopped\n")) << serve.Output();
#endif
    }
}

// A plugin's own thread that crashes between requests ends the plugins' process before the next request comes: the
// crash is told, and that request is answered by plugins loaded again.
TEST(ServeCrashTest, ARequestAfterACrashBetweenRequestsGoesToFreshPlugins) {
    if (kEmulated) GTEST_SKIP() << "no child process can be started under the emulator";
    const BreachEnvironment environment("thread-crash");
    ServeProcess serve({"--plugin", FakeLibrary("kiv-fake-breach")});
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-fake-breach/v1/thing").Text(), "200 \"fine\"");
    // Well past the crash, which comes 50 ms after the answer.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-fake-breach/v1/loop").Text(), "200 null");
    EXPECT_NE(serve.Output().find("devcore: FAIL the core crashed with SIGSEGV outside any plugin's code\n"
                                  "devcore: the plugins are loaded again"),
              std::string::npos)
        << serve.Output();
}

// A fresh child takes no connection of the front's along: one the front closes is closed for its client.
TEST(ServeCrashTest, AFreshChildHoldsNoConnectionOfTheFront) {
    if (kEmulated) GTEST_SKIP() << "no child process can be started under the emulator";
    const BreachEnvironment environment("dispatch-crash");
    ServeProcess serve({"--plugin", FakeLibrary("kiv-fake-breach"), "--idle-timeout", "0.5"});
    TestConnection idle(serve.Port());
    EXPECT_EQ(idle.Ask("GET", "/kiv-fake-breach/v1/loop").status, 200u);
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-fake-breach/v1/thing").status, 500u);
    // Answered by the fresh child, started while the idle connection was open.
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-fake-breach/v1/loop").status, 200u);
    EXPECT_TRUE(idle.ClosedWithin(5s));
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
