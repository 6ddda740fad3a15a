// Arguments from every source of a request, as dispatch hands them to argument binding and the handler.
#include <gtest/gtest.h>

#include <string>

#include "remoting_fixture.h"

namespace Zarvo::Testing {
namespace {

constexpr const char* kGetItems = "GetTestV1ItemsByShelf";
constexpr const char* kPutItems = "PutTestV1ItemsById";
constexpr const char* kGetFilters = "GetTestV1FiltersByScope";

using DispatchArguments = RemotingFixture;

TEST_F(DispatchArguments, QueryAndHeaderArgumentsReachTheHandler) {
    // The core delivers the query inside the path: the last simple parameter captures it too.
    CoreRequest request(Method::Get, "/test/v1/items/books?limit=5&verbose");
    request.Header("contenttype", "text/x");
    const Answer answer = Call(kGetItems, request);
    EXPECT_EQ(answer.error, "");
    EXPECT_EQ(answer.value, R"("books?limit=5&verbose 5 verbose text/x")");
}

TEST_F(DispatchArguments, AbsentArgumentsKeepTheirDefaultsAndHeaderNamesMatchLowerCased) {
    CoreRequest request(Method::Get, "/test/v1/items/books");
    request.Header("Content-Type", "ignored");
    EXPECT_EQ(Call(kGetItems, request).value, R"("books 0 quiet ")");
}

TEST_F(DispatchArguments, ALaterHeaderOfTheSameNameWins) {
    CoreRequest request(Method::Get, "/test/v1/items/books");
    request.Header("contenttype", "first").Header("contenttype", "second");
    EXPECT_EQ(Call(kGetItems, request).value, R"("books 0 quiet second")");
}

TEST_F(DispatchArguments, ArgumentFailuresReachTheCoreAsErrorText) {
    const struct {
        const char* path;
        const char* error;
    } cases[] = {
        {"/test/v1/items/books?limit=x", "Value x for 'limit' of type uint32 is in an incorrect format"},
        {"/test/v1/items/books?shelf=x",
         "Argument 'shelf' for 'GetTestV1ItemsByShelf' was specified in an invalid location."},
        {"/test/v1/items/books?pages=3", "Unknown argument 'pages' for 'GetTestV1ItemsByShelf'."},
    };
    for (const auto& c : cases) {
        const Answer answer = Call(kGetItems, CoreRequest(Method::Get, c.path));
        EXPECT_EQ(answer.errorFlag, 1) << c.path;
        EXPECT_EQ(answer.error, c.error);
        EXPECT_EQ(answer.status, 0u);
        EXPECT_EQ(answer.kind, uint32_t{PluginValueNull});
    }
}

TEST_F(DispatchArguments, AVectorOfRecordsComesFromTheBodyAndGoesBack) {
    CoreRequest request(Method::Put, "/test/v1/items/shelf%2F1");
    request.Body("application/json", R"([{"id":"a","count":2},{"id":"b"}])");
    const Answer answer = Call(kPutItems, request);
    EXPECT_EQ(answer.error, "");
    EXPECT_EQ(answer.kind, uint32_t{PluginValueArray});
    EXPECT_EQ(answer.value, R"([{count:u2,id:"shelf/1/a"},{count:u0,id:"shelf/1/b"}])");
}

TEST_F(DispatchArguments, RecordsComeFromNestedQueryKeysOrSniffedText) {
    const struct {
        const char* query;
        const char* value;
    } cases[] = {
        {"filter.name=lvl&filter.minimum=3", "lvl>=3"},
        {R"(filter={"name":"x","minimum":4}&tags.1=b&tags.0=a)", "x>=4 #a #b"},
        {"filter=  --- {name: zed}", "zed>=0"},
    };
    for (const auto& c : cases) {
        const std::string query = c.query;
        const Answer answer = Call(kGetFilters, CoreRequest(Method::Get, "/test/v1/filters/all?" + query));
        EXPECT_EQ(answer.error, "") << query;
        EXPECT_EQ(answer.value, "\"all?" + query + ":" + c.value + "\"") << query;
    }
    EXPECT_EQ(Call(kGetFilters, CoreRequest(Method::Get, "/test/v1/filters/all")).error,
              "A value for 'filter' is required.");
}

TEST_F(DispatchArguments, NamedAndPositionalCoreItemsBypassTheLocations) {
    CoreRequest named(Method::Get, "/test/v1/filters/mine");
    named.Item("tags", R"(["x"])").Item("filter", R"({"name":"n","minimum":1})");
    EXPECT_EQ(Call(kGetFilters, named).value, R"("mine:n>=1 #x")");

    // With one path parameter, positional items start at the second argument.
    CoreRequest positional(Method::Get, "/test/v1/filters/mine");
    positional.Item(nullptr, R"({"name":"p"})").Item(nullptr, R"(["y","z"])");
    EXPECT_EQ(Call(kGetFilters, positional).value, R"("mine:p>=0 #y #z")");

    CoreRequest tooMany(Method::Get, "/test/v1/filters/mine");
    tooMany.Item(nullptr, "{}").Item(nullptr, "[]").Item(nullptr, "1");
    const Answer answer = Call(kGetFilters, tooMany);
    EXPECT_EQ(answer.errorFlag, 1);
    EXPECT_EQ(answer.error, "Unknown argument '3' for 'GetTestV1FiltersByScope'.");
}

}  // namespace
}  // namespace Zarvo::Testing
