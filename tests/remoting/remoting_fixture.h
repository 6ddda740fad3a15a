// A transport with routes shaped like the level-up plugin's, and some with query, header, vector and record
// arguments, called through the dispatch callback of its API description.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/registration.h"
#include "core_request.h"
#include "remoting/route_builder.h"
#include "remoting/transport.h"

namespace Zarvo::Testing {

struct LevelUpEvent {
    bool leveledUp = false;
    uint32_t newSummonerLevel = 0;
    std::vector<std::string> spells;
};

struct LevelUpAck {
    bool seenThisEvent = false;
    uint32_t newSummonerLevel = 0;
};

enum class Mood : int32_t { Calm = 0, Angry = 1 };

struct Item {
    std::string id;
    uint32_t count = 0;
};

struct Filter {
    std::string name;
    uint32_t minimum = 0;
};

// What a handler saw of its request record.
struct RequestEcho {
    uint32_t requestId = 0;
    uint32_t method = 0;
    std::string methodName;
    std::string path;
    std::string trace;
    bool hasRegistry = false;
    bool hasTimestamp = false;
};

inline constexpr const char* kLevelUp = "/kiv-player-level-up/v1/level-up";
inline constexpr const char* kNotifications = "/kiv-player-level-up/v1/level-up-notifications/{pluginName}";

class RemotingFixture : public ::testing::Test {
protected:
    RemotingFixture() {
        RegisterTypes();
        RegisterLevelUpRoutes();
        RegisterOtherRoutes();
        description = &transport.BuildApiDescription();
    }

    void RegisterTypes() {
        transport.Registry().Record<LevelUpEvent>("LevelUpEvent")
            .Field("leveledUp", &LevelUpEvent::leveledUp)
            .Field("newSummonerLevel", &LevelUpEvent::newSummonerLevel)
            .Field("spells", &LevelUpEvent::spells);
        transport.Registry().Record<LevelUpAck>("LevelUpAck")
            .Field("seenThisEvent", &LevelUpAck::seenThisEvent)
            .Field("newSummonerLevel", &LevelUpAck::newSummonerLevel, "", BindingFieldFlags::Required);
        transport.Registry().Enum<Mood>("Mood").Value("Calm", Mood::Calm).Value("Angry", Mood::Angry);
        transport.Registry().Record<Item>("Item").Field("id", &Item::id).Field("count", &Item::count);
        transport.Registry().Record<Filter>("Filter").Field("name", &Filter::name).Field("minimum", &Filter::minimum);
        transport.Registry().Record<RequestEcho>("RequestEcho")
            .Field("requestId", &RequestEcho::requestId)
            .Field("method", &RequestEcho::method)
            .Field("methodName", &RequestEcho::methodName)
            .Field("path", &RequestEcho::path)
            .Field("trace", &RequestEcho::trace)
            .Field("hasRegistry", &RequestEcho::hasRegistry)
            .Field("hasTimestamp", &RequestEcho::hasTimestamp);
    }

    void RegisterLevelUpRoutes() {
        // The pending event is answered where it lies, as the plugin answers it; the acknowledgement by value.
        auto getEvent = [this]() -> RemotingResult<std::reference_wrapper<const LevelUpEvent>> {
            if (!pending.leveledUp) return RemotingError::NotFound();
            return std::cref(pending);
        };
        auto getAck = [this](const std::string& pluginName) -> RemotingResult<LevelUpAck> {
            if (!pending.leveledUp) return RemotingError::NotFound();
            const auto found = ackLevels.find(pluginName);
            const uint32_t acknowledged = found == ackLevels.end() ? 0 : found->second;
            return LevelUpAck{acknowledged == pending.newSummonerLevel, pending.newSummonerLevel};
        };
        auto postAck = [this](const std::string& pluginName, const LevelUpAck& ack) {
            ackLevels[pluginName] = ack.newSummonerLevel;
        };
        const std::vector<std::string> tags{"level-up"};
        transport.Route(Method::Get, kLevelUp, getEvent).Tags(tags);
        transport.Route(Method::Get, kNotifications, getAck, PathArgument("pluginName", "The consuming plugin"))
            .Tags(tags);
        transport.Route(Method::Post, kNotifications, postAck, PathArgument("pluginName"),
                        BodyArgument("levelUpEventAck"))
            .Tags(tags);
    }

    void RegisterOtherRoutes() {
        transport.Route(Method::Get, "/test/v1/items/{shelf}",
                        [](const std::string& shelf, uint32_t limit, bool verbose, const std::string& contentType) {
                            return shelf + " " + std::to_string(limit) + (verbose ? " verbose " : " quiet ") +
                                   contentType;
                        },
                        PathArgument("shelf"), QueryArgument("limit", "", true), QueryArgument("verbose"),
                        HeaderArgument("contentType", "", true));
        transport.Route(Method::Put, "/test/v1/items/{id}", [](const std::string& id, std::vector<Item> items) {
            for (Item& item : items) item.id = id + "/" + item.id;
            return items;
        }, PathArgument("id"), BodyArgument("items"));
        transport.Route(Method::Get, "/test/v1/filters/{scope}",
                        [](const std::string& scope, const Filter& filter, const std::vector<std::string>& tags) {
                            std::string text = scope + ":" + filter.name + ">=" + std::to_string(filter.minimum);
                            for (const std::string& tag : tags) text += " #" + tag;
                            return text;
                        },
                        PathArgument("scope"), Argument("filter"), Argument("tags", "", true));
        transport.Route(Method::Get, "/test/v1/mood/{value}", [](int32_t value) { return static_cast<Mood>(value); },
                        PathArgument("value"));
        transport.Route(Method::Get, "/test/v1/request", [](const RemotingRequest& request) {
            const auto trace = request.headers.find("x-trace");
            return RequestEcho{request.requestId,
                               static_cast<uint32_t>(request.method),
                               request.methodName,
                               request.path,
                               trace == request.headers.end() ? "" : trace->second,
                               request.registry != nullptr,
                               request.timestamp > 0};
        });
        transport.Route("LINK", "/test/v1/link", [] { return std::string("linked"); });
        transport.Route(Method::Delete, "/test/v1/conflict", []() -> RemotingResult<void> {
            return RemotingError{409, "Already gone"};
        });
        transport.Route(Method::Get, "/test/v1/throws", []() -> std::string { throw std::length_error("too long"); });
    }

    const ApiFunctionEntry* Entry(std::string_view functionName) const {
        for (const ApiFunctionEntry* entry = description->functions; entry; entry = entry->next)
            if (functionName == entry->function.name) return entry;
        return nullptr;
    }

    // Calls the function's dispatch callback with its dispatch context, as the core does.
    Answer Call(std::string_view functionName, const CoreRequest& request) {
        const ApiFunctionEntry* entry = Entry(functionName);
        EXPECT_NE(entry, nullptr) << functionName;
        if (!entry) return {};
        const PluginRequestRecord record = request.Record(entry->function.dispatchContext);
        CoreResponse response;
        entry->dispatch(&response.record, &record);
        return Read(response.record);
    }

    HttpBaseTransport transport;
    const PluginApiDescription* description = nullptr;
    LevelUpEvent pending;
    std::unordered_map<std::string, uint32_t> ackLevels;
};

}  // namespace Zarvo::Testing
