// Service-proxy replies from a core that sends many, and from a core whose WriteLog calls back into the plugin.
#include <string>
#include <vector>

#include "hostile_fixture.h"

namespace Hostile {
namespace {

class ServiceProxyTraffic : public HostileTest {
protected:
    PluginValue Reply(const std::string& uuid, const std::string& service) {
        return core.values.Object({{"uuid", core.values.Text(uuid)},
                                   {"serviceName", core.values.Text(service)},
                                   {"methodName", core.values.Text("m")},
                                   {"payload", core.values.Text(std::string(100, 'p'))}});
    }
};

// The plugin claims no reply: the ones it keeps are bounded, and the counters see them.
TEST_F(ServiceProxyTraffic, UnclaimedRepliesAreBoundedAndCounted) {
    const uint64_t atStart = HostileCore::LiveBytes(core.Stats());
    for (int index = 0; index < 1024; ++index) core.Deliver(kUuidEvent, Reply("u-" + std::to_string(index), "s"));
    const uint64_t atBound = HostileCore::LiveBytes(core.Stats());
    EXPECT_GE(atBound, atStart + 1024 * 100) << "the kept replies are not counted";
    for (int index = 1024; index < 4096; ++index)
        core.Deliver(index % 2 ? kUuidEvent : kMethodEvent, Reply("u-" + std::to_string(index), "s"));
    const uint64_t atEnd = HostileCore::LiveBytes(core.Stats());
    EXPECT_LE(atEnd, atBound + 4096) << "kept replies grow past the bound";
    const std::vector<LogLine> logs = core.Logs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].level, 1);
    EXPECT_EQ(logs[0].text, "Dropping the oldest unclaimed service proxy reply u-0: at most 1024 are kept");
}

// The plugin logs a reply nobody handles; this core answers the log line with another reply, from inside WriteLog.
TEST_F(ServiceProxyTraffic, ACoreWhoseWriteLogReentersThePluginDoesNotDeadlockIt) {
    int reentries = 0;
    core.onWriteLog = [&](int32_t, const char*) {
        if (reentries++ < 3) core.Deliver(kAsyncEvent, Reply("again", "inner"));
    };
    FinishesWithin(10, [&] { core.Deliver(kAsyncEvent, Reply("first", "outer")); });
    std::vector<std::string> texts;
    for (const LogLine& line : core.Logs()) texts.push_back(line.text);
    const std::string outer = "Could not find registered handler for async service proxy event outer.m";
    const std::string inner = "Could not find registered handler for async service proxy event inner.m";
    EXPECT_EQ(texts, (std::vector<std::string>{outer, inner, inner, inner}));
}

}  // namespace
}  // namespace Hostile
