// What serve answers, and to whom: loopback host names only, web pages of local origins only (with CORS), the
// methods a path is served for, HEAD, the plugins' catalogue at the root, and a mistyped route of a plugin.
#include <gtest/gtest.h>

#include "devcore/loopback_names.h"
#include "devcore/serve_answers.h"
#include "devcore_fixture.h"
#include "devcore_program.h"
#include "serve_process.h"

namespace Zarvo::DevCore::Testing {
namespace {

TEST(LoopbackNamesTest, HostsAndOrigins) {
    for (const std::string_view host : {"localhost", "localhost:8080", "LocalHost:1", "127.0.0.1", "127.0.0.1:65535",
                                        "[::1]", "[::1]:80"})
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
    for (const std::string_view host : {"", "evil.example", "localhost.evil.example", "127.0.0.1.nip.io",
                                        "localhost:0", "localhost:65536", "localhost:", "localhost:80x", "[::2]",
                                        "127.0.0.2", "localhost:8080:1"})
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
    for (const std::string_view origin : {"http://localhost", "http://localhost:3000", "http://127.0.0.1:5173"})
        EXPECT_TRUE(IsLocalOrigin(origin)) << origin;
    for (const std::string_view origin : {"null", "", "https://localhost:3000", "http://localhost.evil.example",
                                          "http://evil.example", "http://localhost:3000/", "http://[::1]:3000",
                                          "file://"})
        EXPECT_FALSE(IsLocalOrigin(origin)) << origin;
}

class ServeGuardTest : public ::testing::Test {
protected:
    ServeProcess serve{{"--plugin", kLevelUpLibrary}};
};

TEST_F(ServeGuardTest, AnswersLoopbackNamesOnly) {
    TestConnection connection(serve.Port());
    EXPECT_EQ(connection.Ask("GET", "/kiv-store/v1/none", {{"Host", "localhost:1234"}}).status, 404u);
    EXPECT_EQ(connection.Ask("GET", "/kiv-store/v1/none", {{"Host", "evil.example:1234"}}).Text(),
              R"(403 {"error":"Host 'evil.example:1234' is refused: devcore serves localhost, 127.0.0.1 and [::1] )"
              R"(only, so that no web page reaches it through a name of its own"})");
    connection.SendRaw("GET /kiv-store/v1/none HTTP/1.1\r\n\r\n");
    EXPECT_EQ(connection.Read().Text(), R"(400 {"error":"An HTTP/1.1 request needs a Host header"})");
    TestConnection old(serve.Port());
    old.SendRaw("GET /kiv-store/v1/none HTTP/1.0\r\n\r\n");
    EXPECT_EQ(old.Read().status, 404u);
}

// A page of another site gets nothing done, not even a write it may send without asking first; a page on another
// local port is answered with the headers that let it read the answer.
TEST_F(ServeGuardTest, AnswersPagesOfLocalOriginsOnly) {
    const HttpReply refused = Ask(serve.Port(), "PUT", "/kiv-store/v1/thing", "[1]", "text/plain",
                                  {{"Origin", "http://evil.example"}});
    EXPECT_EQ(refused.Text(), R"(403 {"error":"Origin 'http://evil.example' is refused: devcore answers web pages )"
                              R"(from http://localhost and http://127.0.0.1 only"})");
    EXPECT_EQ(refused.Header("Access-Control-Allow-Origin"), "");
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-store/v1/thing").status, 404u);

    const HttpReply allowed = Ask(serve.Port(), "PUT", "/kiv-store/v1/thing", "[1]", "application/json",
                                  {{"Origin", "http://localhost:3000"}});
    EXPECT_EQ(allowed.Text(), "201 [1]");
    EXPECT_EQ(allowed.Header("Access-Control-Allow-Origin"), "http://localhost:3000");
    EXPECT_EQ(allowed.Header("Vary"), "Origin");

    TestConnection connection(serve.Port());
    const std::vector<std::pair<std::string, std::string>> preflight = {
        {"Access-Control-Request-Method", "PUT"}, {"Access-Control-Request-Headers", "content-type"}};
    auto headers = preflight;
    headers.emplace_back("Origin", "http://127.0.0.1:5173");
    const HttpReply asked = connection.Ask("OPTIONS", "/kiv-store/v1/thing", headers);
    EXPECT_EQ(asked.status, 204u);
    EXPECT_EQ(asked.Header("Access-Control-Allow-Origin"), "http://127.0.0.1:5173");
    EXPECT_EQ(asked.Header("Access-Control-Allow-Methods"), "DELETE, GET, HEAD, OPTIONS, PATCH, POST, PUT");
    EXPECT_EQ(asked.Header("Access-Control-Allow-Headers"), "content-type");
    headers = preflight;
    headers.emplace_back("Origin", "https://evil.example");
    EXPECT_EQ(connection.Ask("OPTIONS", "/kiv-store/v1/thing", headers).status, 403u);
}

TEST_F(ServeGuardTest, TellsTheMethodsAPathIsServedForAndAnswersHead) {
    const HttpReply plugin = Ask(serve.Port(), "DELETE", "/kiv-player-level-up/v1/level-up");
    EXPECT_EQ(plugin.Text(), R"(405 {"error":"Method not allowed"})");
    EXPECT_EQ(plugin.Header("Allow"), "GET, HEAD");
    const HttpReply store = Ask(serve.Port(), "PATCH", "/kiv-store/v1/thing", "[1]");
    EXPECT_EQ(store.status, 405u);
    EXPECT_EQ(store.Header("Allow"), "DELETE, GET, HEAD, POST, PUT");

    ASSERT_EQ(Ask(serve.Port(), "PUT", "/kiv-store/v1/thing", "[1,2]").status, 201u);
    TestConnection connection(serve.Port());
    const HttpReply head = connection.Ask("HEAD", "/kiv-store/v1/thing");
    EXPECT_EQ(head.status, 200u);
    EXPECT_EQ(head.Header("Content-Length"), "6");
    EXPECT_EQ(head.body, "");
    // The connection goes on after a HEAD: no body was sent that the next answer would be read into.
    EXPECT_EQ(connection.Ask("GET", "/kiv-store/v1/thing").Text(), "200 [1,2]");
    // The plugin's GET answers a HEAD of its route; before a level-up it has nothing to tell.
    const HttpReply route = connection.Ask("HEAD", "/kiv-player-level-up/v1/level-up");
    EXPECT_EQ(route.status, 404u);
    EXPECT_EQ(route.Header("Content-Length"), std::to_string(std::string_view(R"({"error":"Not found"})" "\n").size()));
    EXPECT_EQ(route.body, "");
}

// GET / answers what devcore describe prints, as JSON or as its text, and the output at start shows the text.
TEST_F(ServeGuardTest, ListsThePluginsRoutesAtStartAndAtTheRoot) {
    const ProgramRun text = RunDevcore("describe " + kLevelUpLibrary);
    ProgramRun json = RunDevcore("describe --json " + kLevelUpLibrary);
    ASSERT_EQ(text.status, 0) << text.output;
    ASSERT_EQ(json.status, 0) << json.output;
    json.output.pop_back();  // its line break
    ASSERT_NE(json.output.find(R"("method":"POST","path":"/kiv-player-level-up/v1/level-up-notifications/)"
                               R"({pluginName}","result":"nothing")"),
              std::string::npos)
        << json.output;

    const HttpReply asJson = Ask(serve.Port(), "GET", "/");
    EXPECT_EQ(asJson.Text(), R"(200 {"events":"/events","plugins":)" + json.output + "}");
    EXPECT_EQ(asJson.Header("Content-Type"), "application/json");
    EXPECT_EQ(asJson.Header("Vary"), "Accept");
    const HttpReply asText = Ask(serve.Port(), "GET", "/", {}, "", {{"Accept", "text/plain"}});
    EXPECT_EQ(asText.status, 200u);
    EXPECT_EQ(asText.body, text.output);
    EXPECT_EQ(asText.Header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(Ask(serve.Port(), "DELETE", "/").Header("Allow"), "GET, HEAD");
    EXPECT_TRUE(serve.Process().WaitForOutput(text.output + "devcore: serving kiv-player-level-up on http://127.0.0.1:"))
        << serve.Output();
}

// Of the catalogue's two forms, text is chosen only when the client ranks it above JSON.
TEST(CatalogueAnswerTest, ChoosesTextOnlyWhenTheClientRanksItFirst) {
    for (const std::string_view accept :
         {"text/plain", "TEXT/Plain", " text/plain ; charset=utf-8", "application/json;q=0.5, text/plain", "text/*",
          "text/*;q=0.9, application/json;q=0.8", "*/*;q=0.1, text/plain", "application/json;q=0, */*",
          "text/plain;Q=1.000"})
        EXPECT_TRUE(PrefersPlainText(accept)) << accept;
    for (const std::string_view accept :
         {"", "*/*", "application/json", "text/plain, application/json",
          "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8", "text/plain;q=0", "text/plain;q=2",
          "text/plain;q=x", "text/plainx", "texts/*", "image/png", "text/plain;q=0.5, */*", ",;,;q=", "text/*, */*;q=1"})
        EXPECT_FALSE(PrefersPlainText(accept)) << accept;
}

// A path under the plugin's own prefix that none of its routes serves is a mistyped route, never a store write.
TEST_F(ServeGuardTest, AnswersAMistypedRouteWithThePluginsRoutes) {
    const std::string expected =
        R"(404 {"error":"No route of kiv-player-level-up serves PUT /kiv-player-level-up/v1/levelup","routes":[)"
        R"("GET /kiv-player-level-up/v1/level-up","GET /kiv-player-level-up/v1/level-up-notifications/{pluginName}",)"
        R"("POST /kiv-player-level-up/v1/level-up-notifications/{pluginName}"]})";
    EXPECT_EQ(Ask(serve.Port(), "PUT", "/kiv-player-level-up/v1/levelup", "{}").Text(), expected);
    EXPECT_EQ(Ask(serve.Port(), "GET", "/kiv-player-level-up/v1/levelup").status, 404u);
    EXPECT_TRUE(serve.Process().WaitForOutput("devcore: WARN No route of kiv-player-level-up serves PUT "
                                              "/kiv-player-level-up/v1/levelup; its routes: GET "
                                              "/kiv-player-level-up/v1/level-up, GET "
                                              "/kiv-player-level-up/v1/level-up-notifications/{pluginName}, POST "
                                              "/kiv-player-level-up/v1/level-up-notifications/{pluginName}\n"))
        << serve.Output();
}

}  // namespace
}  // namespace Zarvo::DevCore::Testing
