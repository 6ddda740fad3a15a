// The route catalogue read from an API description, also from one a faulty plugin filled, and devcore describe.
#include "devcore/route_catalogue.h"

#include <gtest/gtest.h>

#include "devcore/json_text.h"
#include "devcore_program.h"

namespace Zarvo::DevCore::Testing {
namespace {

ApiFunctionEntry Entry(uint32_t method, const char* path, const char* name) {
    ApiFunctionEntry entry{};
    entry.method = method;
    entry.path = path;
    entry.function.name = name;
    return entry;
}

// Counts that exceed the records, chains that loop, links and texts left null, codes no table has.
TEST(RouteCatalogue, WalksAFaultyDescriptionNoFurtherThanItsRecords) {
    ApiArgumentRecord id{nullptr, "id", nullptr, 7, 0, "", 0};
    ApiArgumentRecord filter{nullptr, "filter", nullptr, 16, 0, nullptr, 1};
    ApiArgumentRecord odd{nullptr, nullptr, nullptr, 42, 0, nullptr, 0};
    id.next = &filter;
    filter.next = &odd;
    ApiArgumentLocationRecord second{nullptr, 1};
    ApiArgumentLocationRecord first{&second, 2};

    ApiFunctionEntry get = Entry(2, "/kiv-fake/v1/queues/{id}", "GetQueue");
    get.function.arguments = &id;
    get.function.argumentCount = 3;
    get.argumentLocations = &first;  // one location short
    get.function.resultTypeCode = 15;
    get.function.resultElementTypeCode = 17;
    get.function.resultTypeName = "Queue";
    get.function.description = "Reads a queue.";

    ApiFunctionEntry purge = Entry(8, nullptr, "Purge");
    purge.methodName = "PURGE";
    purge.function.resultTypeCode = 19;
    purge.function.resultElementTypeCode = 12;

    ApiArgumentRecord looping{nullptr, "again", nullptr, 1, 0, nullptr, 0};
    looping.next = &looping;
    ApiFunctionEntry ping = Entry(99, "", "Ping");
    ping.function.arguments = &looping;
    ping.function.argumentCount = 0xFFFFFFFF;

    get.next = &purge;
    purge.next = &ping;
    ping.next = &get;  // a loop back to the first

    ApiEventRecord second_event{nullptr, "OnSecond", nullptr, "Second", nullptr, nullptr, 0};
    ApiEventRecord first_event{&second_event, "OnFirst", nullptr, nullptr, "Told first.", nullptr, 0};
    const PluginApiDescription description{&get, 0xFFFFFFFF, nullptr, 0, &first_event, 1};

    const RouteCatalogue catalogue = ReadRouteCatalogue("kiv-fake", description);
    EXPECT_EQ(CatalogueText(catalogue),
              "kiv-fake: 3 routes, 1 event\n"
              "routes:\n"
              "  GET   /kiv-fake/v1/queues/{id} -> vector<Queue>\n"
              "        Reads a queue.\n"
              "        id:     uint32  (from the path)\n"
              "        filter: enum    (from the query, optional)\n"
              "        :       type 42 (from anywhere)\n"
              "  any   Ping -> nothing\n"
              "        again: bool (from anywhere)\n"
              "  PURGE Purge -> map<string, string>\n"
              "events:\n"
              "  OnFirst ->   Told first.\n");
}

TEST(RouteCatalogue, AsAValueForJson) {
    ApiArgumentRecord name{nullptr, "pluginName", nullptr, 12, 0, "", 0};
    ApiArgumentLocationRecord path{nullptr, 2};
    ApiFunctionEntry get = Entry(2, "/p/{pluginName}", "GetP");
    get.function.arguments = &name;
    get.function.argumentCount = 1;
    get.argumentLocations = &path;
    ApiEventRecord event{nullptr, "OnP", nullptr, "P", "", nullptr, 0};
    const PluginApiDescription description{&get, 1, nullptr, 0, &event, 1};
    EXPECT_EQ(ToJsonText(CatalogueValue(ReadRouteCatalogue("p", description))),
              R"({"events":[{"description":"","name":"OnP","payload":"P"}],"plugin":"p","routes":[{"arguments":)"
              R"([{"location":"path","name":"pluginName","optional":false,"type":"string"}],"description":"",)"
              R"("function":"GetP","method":"GET","path":"/p/{pluginName}","result":"nothing"}]})");
}

TEST(RouteCatalogue, DescribeListsWhatALibraryServes) {
    ProgramRun run = RunDevcore("describe " + kLevelUpLibrary);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.substr(0, run.output.find("events:")),
              "kiv-player-level-up: 3 routes, 6 events\n"
              "routes:\n"
              "  GET  /kiv-player-level-up/v1/level-up -> PlayerLevelUpEvent\n"
              "  GET  /kiv-player-level-up/v1/level-up-notifications/{pluginName} -> PlayerLevelUpEventAck\n"
              "       pluginName: string (from the path)\n"
              "  POST /kiv-player-level-up/v1/level-up-notifications/{pluginName} -> nothing\n"
              "       pluginName:      string                (from the path)\n"
              "       levelUpEventAck: PlayerLevelUpEventAck (from the body)\n");
    EXPECT_NE(run.output.find("\n  OnJsonApiEvent            -> PluginResourceEvent         Fired when a resource is "
                              "changed.\n"),
              std::string::npos)
        << run.output;

    run = RunDevcore("describe --json " + kLevelUpLibrary);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.output.starts_with(R"([{"events":[{"description":)")) << run.output;

    const ScratchFolder scratch;
    const std::string text = scratch.Write("kiv-text.so", "not a library\n");
    run = RunDevcore("describe " + text);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.output.starts_with("devcore: " + text + ": ")) << run.output;
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
