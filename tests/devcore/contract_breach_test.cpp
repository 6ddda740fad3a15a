// devcore run against plugins that break the contract, one way each: every way ends its scenario with a named,
// positioned FAIL and exit status 1, and none ends or hangs devcore.
#include <gtest/gtest.h>

#include <cstdlib>

#include "devcore_program.h"

namespace Zarvo::DevCore::Testing {
namespace {

const std::string kBreach = FakeLibrary("kiv-fake-breach");
const std::string kPeer = FakeLibrary("kiv-fake-breach-peer");
const std::string kThingStep = "steps:\n  - request: GET /kiv-fake-breach/v1/thing\n    response: {value: fine}\n";
const std::string kPingStep = "steps:\n  - put: /kiv-fake/v1/ping\n    value: 1\n";

// The sanitizers would take a crash for their own report; the crash is devcore's to report here.
const std::string kEnvironment =
    "ASAN_OPTIONS=" + std::string(std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "") +
    ":handle_segv=0:handle_abort=0 ";
// Under a user-mode emulator devcore cannot start itself again, and plays every file in its own process: a crash or
// a hang then ends devcore, and those rows cannot be played.
constexpr bool kEmulated = sizeof(KIV_EMULATOR) > 1;

bool Hangs(std::string_view way) { return way == "dispatch-hang" || way == "event-flood"; }

bool NeedsAChild(std::string_view way) {
    return way == "dispatch-crash" || way == "dispatch-abort" || way == "destroy-crash" || Hangs(way);
}

// An event storm's 10,000 deliveries report each crossing to the parent; under wine each report is a round trip
// through the wine server, about 11 s for the storm on a busy machine. A storm that does not settle still fails.
const std::string kStormTimeout = " --step-timeout 60";

bool HasLine(const std::string& output, const std::string& line) {
    return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

TEST(ContractBreach, EachBreachEndsItsScenarioWithANamedPositionedFail) {
    const struct {
        const char* way;
        const std::string& scenario;
        bool withPeer;
        std::string line;  // the FAIL line, without "FAIL " and the position
        std::string position;
    } rows[] = {
        {"dispatch-crash", kThingStep, false,
         "kiv-fake-breach crashed with SIGSEGV in its dispatch callback for GET /kiv-fake-breach/v1/thing", "step 1"},
        {"dispatch-abort", kThingStep, false,
         "kiv-fake-breach crashed with SIGABRT in its dispatch callback for GET /kiv-fake-breach/v1/thing", "step 1"},
        {"dispatch-hang", kThingStep, false,
         "kiv-fake-breach did not return within 2 s from its dispatch callback for GET /kiv-fake-breach/v1/thing",
         "step 1"},
        // It hangs calling the core: the core's reading of each event is not what hangs.
        {"event-flood", kThingStep, false,
         "kiv-fake-breach did not return within 2 s from its dispatch callback for GET /kiv-fake-breach/v1/thing",
         "step 1"},
        {"dispatch-throw", kThingStep, false,
         "kiv-fake-breach threw an exception out of its dispatch callback for GET /kiv-fake-breach/v1/thing: "
         "no thing today",
         "step 1"},
        {"destroy-crash", kThingStep, false, "kiv-fake-breach crashed with SIGSEGV in Destroy", "unload"},
        {"null-callback", kThingStep, false,
         "kiv-fake-breach subscribed to OnJsonApiEvent_kiv-fake_v1_ping with a null callback: the core refused it",
         "load"},
        {"wrong-handle", kThingStep, false,
         "kiv-fake-breach subscribed to OnJsonApiEvent_kiv-fake_v1_ping with the plugin handle 1257, not its own "
         "257: the core refused it",
         "load"},
        {"self-chain", kThingStep, false, "kiv-fake-breach's API description chains function entry 1 to itself",
         "load"},
        {"header-count", kThingStep, false,
         "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing counts 4,294,967,295 header pairs, more than "
         "the core's bound of 4,096",
         "step 1"},
        {"unterminated-text", kThingStep, false,
         "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing holds a text of 4 bytes without a NUL after "
         "them",
         "step 1"},
        {"self-array", kThingStep, false,
         "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing holds an array that contains itself at [0]",
         "step 1"},
        {"huge-array", kThingStep, false,
         "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing holds an array of 4,294,967,295 elements, "
         "more than the core's bound of 1,000,000 values in one tree",
         "step 1"},
        {"huge-object", kThingStep, false,
         "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing holds an object of 4,294,967,295 members, "
         "more than the core's bound of 1,000,000 values in one tree",
         "step 1"},
        {"kind-77", kThingStep, false,
         "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing holds a value of kind 77 at data", "step 1"},
        {"no-free", kThingStep, false,
         "kiv-fake-breach's response to GET /kiv-fake-breach/v1/thing has no free routine: its storage leaks",
         "step 1"},
        {"cyclic-payload", kThingStep, false,
         "kiv-fake-breach sent the event OnJsonApiEvent_kiv-fake_v1_cycle whose payload holds an object that "
         "contains itself at self; the core dropped it",
         "step 1"},
        {"request-loop", kThingStep, true,
         "kiv-fake-breach's request GET /kiv-fake-breach-peer/v1/loop would nest requests between plugins 17 deep; "
         "the core allows 16",
         "step 1"},
        {"stream-overreport", kThingStep, false,
         "kiv-fake-breach's stream for GET /kiv-fake-breach/v1/thing reported 5,000 bytes read into a buffer of 4,096",
         "step 1"},
        {"event-throw", kPingStep, false,
         "kiv-fake-breach threw an exception out of its event callback for OnJsonApiEvent_kiv-fake_v1_ping: a ping "
         "was not expected",
         "step 1"},
        {"own-thread", kThingStep, false,
         "kiv-fake-breach called WriteLog while the core was running none of its code (from a thread of its own, or "
         "after the core's call returned): the core ignored the call",
         "load"},
        {"thread-logs", kThingStep, false,
         "kiv-fake-breach called WriteLog (and made 999 more calls) while the core was running none of its code (from "
         "a thread of its own, or after the core's call returned): the core ignored them",
         "step 1"},
        {"event-storm", kPingStep, true,
         "kiv-fake-breach and kiv-fake-breach-peer: events sent from event callbacks did not settle after 10,000 "
         "deliveries (the last one OnJsonApiEvent_kiv-fake_v1_ping); the core dropped the rest",
         "step 1"},
    };
    const ScratchFolder scratch;
    for (const auto& row : rows) {
        if (kEmulated && NeedsAChild(row.way)) continue;
        const std::string file = std::string(row.way) + ".yaml";
        scratch.Write(file, row.scenario);
        const std::string plugins = " --plugin " + kBreach + (row.withPeer ? " --plugin " + kPeer : "");
        // A hang is cut short and the storm given time; every other row keeps the default time, ample on a busy
        // machine. The hang's time also bounds the core's own start of the file, over half a second under wine on a
        // busy machine.
        const std::string timeout = Hangs(row.way)                               ? " --step-timeout 2"
                                    : std::string_view(row.way) == "event-storm" ? kStormTimeout
                                                                                  : "";
        const ProgramRun run = RunDevcore("run " + file + plugins + timeout,
                                          kEnvironment + "KIV_FAKE_BREACH=" + row.way, scratch / "");
        const std::string position = row.position == "load"     ? "while loading the plugins of " + file
                                     : row.position == "unload" ? "while unloading the plugins of " + file
                                                                : "step 1 at " + file + ":2:5";
        EXPECT_EQ(run.status, 1) << row.way << "\n" << run.output;
        EXPECT_TRUE(HasLine(run.output, "FAIL " + row.line + ", " + position)) << row.way << "\n" << run.output;
        const std::string result = row.position == "load"     ? "ERROR " + file
                                   : row.position == "unload" ? "FAIL " + file + " (while unloading)"
                                                              : "FAIL " + file + " (step 1 of 1)";
        EXPECT_TRUE(HasLine(run.output, result)) << row.way << "\n" << run.output;
    }
}

// What a plugin may mean is a warning: the scenario passes.
TEST(ContractBreach, WhatThePluginMayMeanIsAWarning) {
    const struct {
        const char* way;
        std::string line;
    } rows[] = {
        {"left-subscription",
         "kiv-fake-breach left 1 subscription after Destroy (OnJsonApiEvent_kiv-fake_v1_ping): the core dropped them"},
        {"memory-growth", "kiv-fake-breach holds 500 bytes more after Destroy than before Init (1,000 then 1,500)"},
    };
    const ScratchFolder scratch;
    for (const auto& row : rows) {
        const std::string file = std::string(row.way) + ".yaml";
        scratch.Write(file, kThingStep);
        const ProgramRun run =
            RunDevcore("run " + file + " --plugin " + kBreach, std::string("KIV_FAKE_BREACH=") + row.way, scratch / "");
        EXPECT_EQ(run.status, 0) << row.way << "\n" << run.output;
        EXPECT_TRUE(HasLine(run.output, "WARN " + row.line + ", while unloading the plugins of " + file))
            << row.way << "\n" << run.output;
        EXPECT_TRUE(HasLine(run.output, "PASS " + file + " (1 step)")) << row.way << "\n" << run.output;
    }
}

// The largest tree the bounds allow is read, passed on and checked like any other.
TEST(ContractBreach, TheLargestTreeTheBoundsAllowPasses) {
    const ScratchFolder scratch;
    scratch.Write("largest.yaml", "steps:\n  - request: GET /kiv-fake-breach/v1/thing\n    response: {status: 200}\n");
    const ProgramRun run =
        RunDevcore("run largest.yaml --plugin " + kBreach, "KIV_FAKE_BREACH=largest-tree", scratch / "");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(HasLine(run.output, "PASS largest.yaml (1 step)")) << run.output;
}

// Two plugins that answer each ping with a ping, each at most n times, make 2n deliveries: 10,000 settle.
TEST(ContractBreach, EventsFromEventCallbacksSettleWithinTheirBound) {
    const ScratchFolder scratch;
    scratch.Write("ping.yaml", kPingStep);
    for (const int sends : {4999, 5000, 5001}) {
        const ProgramRun run = RunDevcore("run ping.yaml --plugin " + kBreach + " --plugin " + kPeer + kStormTimeout,
                                          "KIV_FAKE_BREACH=event-storm KIV_FAKE_SENDS=" + std::to_string(sends),
                                          scratch / "");
        EXPECT_EQ(run.status, sends <= 5000 ? 0 : 1) << sends << "\n" << run.output;
        EXPECT_EQ(run.output.find("did not settle after 10,000 deliveries") != std::string::npos, sends > 5000)
            << sends << "\n" << run.output;
    }
}

// A crash or a hang ends the child that plays the file; what the plugin broke before it in that step is told too.
TEST(ContractBreach, BreachesBeforeAHangAreToldWithIt) {
    if (kEmulated) GTEST_SKIP() << "a hang needs a child process";
    const ScratchFolder scratch;
    scratch.Write("loop.yaml", kThingStep);
    const ProgramRun run = RunDevcore("run loop.yaml --step-timeout 2 --plugin " + kBreach,
                                      kEnvironment + "KIV_FAKE_BREACH=yield-loop", scratch / "");
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string position = ", step 1 at loop.yaml:2:5";
    const std::string calls = "FAIL kiv-fake-breach called the core more than 1,000,000 times in one step; the core "
                              "ignored its calls from there to the step's end" + position;
    const std::string hang = "FAIL kiv-fake-breach did not return within 2 s from its dispatch callback for GET "
                             "/kiv-fake-breach/v1/thing" + position;
    EXPECT_TRUE(HasLine(run.output, calls + "\n" + hang)) << run.output;
    EXPECT_TRUE(HasLine(run.output, "FAIL loop.yaml (step 1 of 1)")) << run.output;
}

// Of the breaches before a crash, the first 100 are told and the rest counted, so that a plugin breaking the contract
// in a loop cannot grow devcore.
TEST(ContractBreach, BreachesPastTheFirst100BeforeACrashAreCounted) {
    if (kEmulated) GTEST_SKIP() << "a crash needs a child process";
    const ScratchFolder scratch;
    scratch.Write("thing.yaml", kThingStep);
    const std::string position = ", step 1 at thing.yaml:2:5";
    const std::string breach = "FAIL kiv-fake-breach subscribed to OnJsonApiEvent_kiv-fake_v1_other with a null "
                               "callback: the core refused it" + position + "\n";
    const std::string crash = "FAIL kiv-fake-breach crashed with SIGSEGV in its dispatch callback for GET "
                              "/kiv-fake-breach/v1/thing" + position + "\n";
    for (const auto& [sends, more] : {std::pair{100, ""}, {102, "and 2 more breaches of the contract before it\n"}}) {
        const ProgramRun run = RunDevcore("run thing.yaml --plugin " + kBreach,
                                          kEnvironment + "KIV_FAKE_BREACH=breaches-then-crash KIV_FAKE_SENDS=" +
                                              std::to_string(sends),
                                          scratch / "");
        const std::string which = std::to_string(sends) + "\n" + run.output;
        EXPECT_EQ(run.status, 1) << which;
        size_t told = 0;
        for (size_t at = run.output.find(breach); at != std::string::npos; at = run.output.find(breach, at + 1)) ++told;
        EXPECT_EQ(told, 100u) << which;
        EXPECT_NE(run.output.find(breach + more + crash), std::string::npos) << which;
    }
}

// A plugin that calls the core in a loop is held to what one step may hand the core, so that its memory stays bounded
// until its step's time runs out: calls, values in events and requests, bytes of texts.
TEST(ContractBreach, WhatOneStepMayHandTheCoreIsBoundedAtItsEdges) {
    const std::string over = " in one step; the core ignored its calls from there to the step's end";
    const struct {
        const char* way;
        long sends;
        std::string breach;  // empty when the step keeps within the bound
    } rows[] = {
        {"yield-loop", 999'999, ""},
        {"yield-loop", 1'000'000, ""},
        {"yield-loop", 1'000'001, "kiv-fake-breach called the core more than 1,000,000 times" + over},
        {"event-flood", 1'000, ""},  // events of 1,000 values each
        {"event-flood", 1'001,
         "kiv-fake-breach handed the core more than 1,000,000 values in its events and requests" + over},
        {"log-flood", 128, ""},  // lines of 512 KiB
        {"log-flood", 129,
         "kiv-fake-breach handed the core more than 67,108,864 bytes of log lines, names, paths, texts and byte "
         "arrays" + over},
    };
    const ScratchFolder scratch;
    scratch.Write("thing.yaml", "steps:\n  - request: GET /kiv-fake-breach/v1/thing\n");
    for (const auto& row : rows) {
        const ProgramRun run = RunDevcore("run thing.yaml --plugin " + kBreach,
                                          std::string("KIV_FAKE_BREACH=") + row.way +
                                              " KIV_FAKE_SENDS=" + std::to_string(row.sends),
                                          scratch / "");
        const std::string which = std::string(row.way) + " " + std::to_string(row.sends) + "\n" + run.output;
        EXPECT_EQ(run.status, row.breach.empty() ? 0 : 1) << which;
        if (!row.breach.empty()) {
            EXPECT_TRUE(HasLine(run.output, "FAIL " + row.breach + ", step 1 at thing.yaml:2:5")) << which;
        }
    }
}

// A crash ends its file, not the run: the next file plays, and what the story told before the crash is kept.
TEST(ContractBreach, TheRunGoesOnAfterACrashAndKeepsTheStoryToldBeforeIt) {
    if (kEmulated) GTEST_SKIP() << "no child process can be started under the emulator";
    const ScratchFolder scratch;
    scratch.Write("a-crash.yaml", kThingStep);
    scratch.Write("b-fine.yaml", "steps:\n  - put: /kiv-fake/v1/other\n    value: 1\n");
    const ProgramRun run =
        RunDevcore("run a-crash.yaml b-fine.yaml -v --plugin " + kBreach, kEnvironment + "KIV_FAKE_BREACH=dispatch-crash",
                   scratch / "");
    EXPECT_EQ(run.status, 1) << run.output;
    const size_t told = run.output.find("   > GET /kiv-fake-breach/v1/thing\n");
    const size_t failed = run.output.find("FAIL kiv-fake-breach crashed with SIGSEGV");
    EXPECT_NE(told, std::string::npos) << run.output;
    EXPECT_LT(told, failed) << run.output;
    EXPECT_TRUE(HasLine(run.output, "FAIL a-crash.yaml (step 1 of 1)")) << run.output;
    EXPECT_TRUE(HasLine(run.output, "PASS b-fine.yaml (1 step)")) << run.output;
    EXPECT_NE(run.output.find("\n1 failed, 1 passed in "), std::string::npos) << run.output;
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
