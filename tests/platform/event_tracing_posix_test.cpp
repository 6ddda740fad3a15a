#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/event_tracing.h"
#include "platform/system.h"
#include "platform/system_trace_stand_in.h"

namespace Zarvo {
namespace {

namespace StandIn = Platform::TraceStandIn;
using Platform::TraceControlCaptureState;
using Platform::TraceControlDisable;
using Platform::TraceControlEnable;

std::string GuidText(const Platform::TraceGuid& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                  g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

std::string Bytes(const void* data, size_t size) { return std::string(static_cast<const char*>(data), size); }

const TraceProvider& Provider(int number) { return TraceProviders()[number - 1]; }

class EventTracing : public testing::Test {
protected:
    void SetUp() override { StandIn::Reset(); }
    void TearDown() override { StopEventTracing(); }
};

TEST_F(EventTracing, LoadRegistersTheFourProvidersInOrder) {
    StartEventTracing();
    const char* ids[] = {"{2F9EFE86-4AF7-4F37-A40F-94B909A157D6}", "{EA08C559-95A8-4AA2-AFA6-18738EEC6D37}",
                         "{10F6728C-EF92-4BF1-8397-49E693A6EB74}", "{46DD7F96-60CB-416B-8085-DA5CD8F491DD}"};
    auto registrations = StandIn::Registrations();
    ASSERT_EQ(registrations.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(GuidText(registrations[i].provider), ids[i]);
        EXPECT_EQ(GuidText(Provider(i + 1).id), ids[i]);
        EXPECT_EQ(Provider(i + 1).handle, registrations[i].handle);
        EXPECT_NE(registrations[i].handle, 0u);
    }
    EXPECT_TRUE(StandIn::Writes().empty());  // no session enabled the thread-name event

    StartEventTracing();  // registered providers are not registered again
    EXPECT_EQ(StandIn::Registrations().size(), 4u);
}

TEST_F(EventTracing, UnloadUnregistersInReverseOrderOnce) {
    StartEventTracing();
    auto registrations = StandIn::Registrations();
    StopEventTracing();
    ASSERT_EQ(StandIn::Unregistrations().size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(StandIn::Unregistrations()[i], registrations[3 - i].handle);
        EXPECT_EQ(Provider(i + 1).handle, 0u);
    }
    StopEventTracing();
    EXPECT_EQ(StandIn::Unregistrations().size(), 4u);
}

TEST_F(EventTracing, EnabledThreadNameEventNamesTheLoadingThread) {
    StandIn::SendControl(Provider(2).id, TraceControlEnable, 5, 1, 0);  // a session waiting for the provider
    StartEventTracing();
    auto writes = StandIn::Writes();
    ASSERT_EQ(writes.size(), 1u);
    const auto& event = writes[0];
    EXPECT_EQ(event.handle, Provider(2).handle);
    EXPECT_EQ(event.descriptor.id, 103);
    EXPECT_EQ(event.descriptor.version, 0);
    EXPECT_EQ(event.descriptor.channel, 0);
    EXPECT_EQ(event.descriptor.level, 0);
    EXPECT_EQ(event.descriptor.opcode, 14);
    EXPECT_EQ(event.descriptor.task, 2);
    EXPECT_EQ(event.descriptor.keyword, 1u);
    uint32_t threadId = Platform::CurrentThreadId();
    ASSERT_EQ(event.items.size(), 2u);
    EXPECT_EQ(event.items[0], Bytes(&threadId, 4));
    EXPECT_EQ(event.items[1], Bytes("Main thread", 12));
}

TEST_F(EventTracing, ThreadNameEventNeedsItsKeyword) {
    StandIn::SendControl(Provider(2).id, TraceControlEnable, 0, 2, 0);
    StartEventTracing();
    EXPECT_TRUE(Provider(2).context.enabled);
    EXPECT_EQ(Provider(2).context.eventBits, 0u);
    EXPECT_TRUE(StandIn::Writes().empty());
}

TEST_F(EventTracing, NullThreadNameIsSentAsNULL) {
    StartEventTracing();
    StandIn::SendControl(Provider(2).id, TraceControlEnable, 0, 1, 1);
    WriteThreadNameEvent(77, nullptr);
    auto writes = StandIn::Writes();
    ASSERT_EQ(writes.size(), 1u);
    uint32_t threadId = 77;
    EXPECT_EQ(writes[0].items[0], Bytes(&threadId, 4));
    EXPECT_EQ(writes[0].items[1], Bytes("NULL", 5));
}

TEST_F(EventTracing, NothingIsWrittenWhileDisabledOrUnregistered) {
    WriteThreadNameEvent(1, "before load");
    StartEventTracing();
    WriteThreadNameEvent(1, "not enabled");
    StandIn::SendControl(Provider(2).id, TraceControlEnable, 0, 1, 0);
    StandIn::SendControl(Provider(2).id, TraceControlDisable, 0, 0, 0);
    WriteThreadNameEvent(1, "disabled again");
    StandIn::SendControl(Provider(2).id, TraceControlEnable, 0, 1, 0);
    StopEventTracing();
    WriteThreadNameEvent(1, "after unload");
    EXPECT_TRUE(StandIn::Writes().empty());
}

TEST_F(EventTracing, EnableNotificationsSetAndClearTheContext) {
    StartEventTracing();
    const TraceEnableContext& context = Provider(4).context;
    StandIn::SendControl(Provider(4).id, TraceControlEnable, 4, 0xF0, 0x30);
    EXPECT_TRUE(context.enabled);
    EXPECT_EQ(context.level, 4);
    EXPECT_EQ(context.matchAnyKeyword, 0xF0u);
    EXPECT_EQ(context.matchAllKeyword, 0x30u);
    EXPECT_EQ(context.eventBits, 0b11u);
    EXPECT_FALSE(Provider(3).context.enabled);  // each provider has its own context

    StandIn::SendControl(Provider(4).id, TraceControlCaptureState, 1, 1, 1);  // ignored
    EXPECT_TRUE(context.enabled);
    EXPECT_EQ(context.level, 4);
    EXPECT_EQ(context.matchAnyKeyword, 0xF0u);

    StandIn::SendControl(Provider(4).id, TraceControlDisable, 4, 0xF0, 0x30);
    EXPECT_FALSE(context.enabled);
    EXPECT_EQ(context.level, 0);
    EXPECT_EQ(context.matchAnyKeyword, 0u);
    EXPECT_EQ(context.matchAllKeyword, 0u);
    EXPECT_EQ(context.eventBits, 0u);
}

TEST(TraceEventEnabled, LevelAndKeywordRules) {
    struct Case {
        TraceEventFilter event;
        uint8_t level;
        uint64_t any, all;
        bool enabled;
    };
    const Case cases[] = {
        {{0, 0}, 0, 0, 0, true},
        {{4, 0}, 3, 0, 0, false},  // level above the enabling level
        {{4, 0}, 4, 0, 0, true},
        {{4, 0}, 0, 0, 0, true},   // enabling level 0 takes every level
        {{5, 1}, 4, 1, 0, false},  // the keyword cannot make up for the level
        {{0, 1}, 5, 1, 0, true},
        {{0, 1}, 5, 2, 0, false},  // no bit shared with the any-mask
        {{0, 0b011}, 5, 1, 0b011, true},
        {{0, 0b001}, 5, 1, 0b011, false},  // misses a bit of the all-mask
        {{0, 0}, 5, 2, 4, true},           // an event without keyword ignores the masks
    };
    for (const Case& c : cases)
        EXPECT_EQ(TraceEventEnabled(c.event, c.level, c.any, c.all), c.enabled)
            << "event level " << int(c.event.level) << " keyword " << c.event.keyword << ", enabling level "
            << int(c.level) << " any " << c.any << " all " << c.all;
}

TEST_F(EventTracing, UnavailableServicesLeaveTracingOff) {
    StandIn::SetAvailable(false);
    StandIn::SendControl(Provider(2).id, TraceControlEnable, 0, 1, 0);
    StartEventTracing();
    EXPECT_TRUE(StandIn::Registrations().empty());
    EXPECT_TRUE(StandIn::Writes().empty());
    for (const TraceProvider& provider : TraceProviders()) EXPECT_EQ(provider.handle, 0u);
}

}  // namespace
}  // namespace Zarvo
