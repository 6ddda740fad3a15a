#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "devcore/contract_bounds.h"
#include "devcore/function_table.h"

namespace Zarvo::DevCore {
namespace {

void KIV_CDECL Dispatch(PluginResponseRecord*, const PluginRequestRecord*) {}

// `count` entries with paths, chained as an array, in a description that counts them.
struct Table {
    explicit Table(size_t count) : entries(count) {
        for (size_t i = 0; i < count; ++i) {
            entries[i].next = i + 1 < count ? &entries[i + 1] : nullptr;
            entries[i].path = "/kiv-a/v1/x";
            entries[i].method = 2;
            entries[i].dispatch = Dispatch;
        }
        description.functions = entries.data();
        description.functionCount = static_cast<uint32_t>(count);
    }
    std::string Read() {
        std::vector<FunctionRoute> routes;
        std::string problem = ReadFunctionTable(description, routes);
        return problem.empty() ? std::to_string(routes.size()) + " routes" : problem;
    }
    std::vector<ApiFunctionEntry> entries;
    PluginApiDescription description{};
};

TEST(FunctionTableTest, WalksTheArrayAndItsChainTogether) {
    const struct {
        std::function<void(Table&)> spoil;
        std::string read;
    } cases[] = {
        {[](Table&) {}, "3 routes"},
        {[](Table& t) { t.entries[0].next = &t.entries[0]; }, "chains function entry 1 to itself"},
        {[](Table& t) { t.entries[1].next = &t.entries[0]; },
         "chains function entry 2 to a record that is not the next one of its table"},
        {[](Table& t) { t.entries[1].next = nullptr; }, "chains only 2 of the 3 function entries its count gives"},
        {[](Table& t) { t.description.functionCount = 2; }, "chains more function entries than the 2 its count gives"},
        {[](Table& t) { t.description.functions = nullptr; },
         "counts 3 functions but has no table of them (a null pointer)"},
        {[](Table& t) { t.entries[2].dispatch = nullptr; }, "2 routes"},  // one the core cannot call
        {[](Table& t) { t.entries[1].method = 9; }, "has function entry 2 (/kiv-a/v1/x) with the method code 9"},
        {[](Table& t) { t.entries[1].method = 8; },
         "has function entry 2 (/kiv-a/v1/x) with the method code 8 but no method name"},
        {[](Table& t) { t.entries[0].path = nullptr; }, "has function entry 1 with neither a path nor a name"},
        {[](Table& t) {
             t.entries[0].path = "";
             t.entries[0].function.name = "GetX";
         },
         "3 routes"},
    };
    for (const auto& c : cases) {
        Table table(3);
        c.spoil(table);
        EXPECT_EQ(table.Read(), c.read);
    }
}

TEST(FunctionTableTest, BoundsTheFunctionsAtTheirEdge) {
    EXPECT_EQ(Table(kMaxFunctions - 1).Read(), "9999 routes");
    EXPECT_EQ(Table(kMaxFunctions).Read(), "10000 routes");
    EXPECT_EQ(Table(kMaxFunctions + 1).Read(), "counts 10,001 functions, more than the core's bound of 10,000");
}

}  // namespace
}  // namespace Zarvo::DevCore
