#include "devcore/scenario_reader.h"

#include <gtest/gtest.h>

#include "support/describe.h"

namespace Zarvo::DevCore {
namespace {

using Testing::Describe;

Scenario Parse(std::string_view text) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_TRUE(ParseScenario(text, "stories", scenario, error))
        << error.position.line << ":" << error.position.column << ": " << error.message;
    return scenario;
}

TEST(ScenarioReader, ReadsEveryKindOfStep) {
    const Scenario scenario = Parse(R"(
plugins: [../build/a.so, /abs/b.so]
steps:
  - put: /kiv-login/v1/session
    value: {state: SUCCEEDED, summonerId: 11}
    note: The player logs in.
    events: []
  - delete: /kiv-login/v1/session
  - stream: /kiv-game-queues/v1/queues
    chunks: ['[{"id": 4', '}]']
  - fail: /kiv-game-data/assets/v1/summoner-spells.json
    status: 503
    error: spells down
  - request: POST /kiv-player-level-up/v1/level-up-notifications/toasts?x=1&y
    headers: {Accept: application/json, X-Count: 2}
    items: {verbose: true}
    body: {newSummonerLevel: 5, seenThisEvent: true}
    response: {status: 0, error: "", includes: {a: 1}}
    events:
      - OnJsonApiEvent
      - name: OnJsonApiEvent_kiv-player-level-up_v1_level-up
        payload: {data: null}
    logs:
      - just this text
      - {level: ERROR, includes: Failed}
  - request: GET /x
    response: any
    items: [1, two]
    body-hex: "81 a1 61
               05"
  - request: POST /y
    body-text: "seenThisEvent: true"
    content-type: application/x-yaml
  - put: /kiv-end-of-game/v1/eog-stats-block
    value: {leveledUp: true}
    event-type: Create
)");
    EXPECT_EQ(scenario.plugins, (std::vector<std::string>{"build/a.so", "/abs/b.so"}));
    ASSERT_EQ(scenario.steps.size(), 8u);

    const Step& put = scenario.steps[0];
    EXPECT_EQ(put.action, Step::Action::Put);
    EXPECT_EQ(put.position.line, 4u);
    EXPECT_EQ(put.position.column, 5u);
    EXPECT_EQ(put.Title(), "put /kiv-login/v1/session");
    EXPECT_EQ(Describe(put.value), R"({state:"SUCCEEDED",summonerId:u11})");
    EXPECT_EQ(put.note, "The player logs in.");
    ASSERT_TRUE(put.events.has_value());
    EXPECT_TRUE(put.events->empty());
    EXPECT_FALSE(put.logs.has_value());

    EXPECT_EQ(put.eventType, "");
    EXPECT_EQ(scenario.steps[1].Title(), "delete /kiv-login/v1/session");
    EXPECT_EQ(scenario.steps[2].chunks, (std::vector<std::string>{R"([{"id": 4)", "}]"}));
    EXPECT_EQ(scenario.steps[3].status, 503u);
    EXPECT_EQ(scenario.steps[3].error, "spells down");

    const Step& post = scenario.steps[4];
    EXPECT_EQ(post.Title(), "request POST /kiv-player-level-up/v1/level-up-notifications/toasts?x=1&y");
    EXPECT_EQ(post.request.path, "/kiv-player-level-up/v1/level-up-notifications/toasts");
    EXPECT_EQ(post.request.query, "x=1&y");
    EXPECT_EQ(post.request.headers, (std::vector<std::pair<std::string, std::string>>{
                                        {"Accept", "application/json"}, {"X-Count", "2"}}));
    ASSERT_EQ(post.request.items.size(), 1u);
    EXPECT_EQ(post.request.items[0].name, "verbose");
    EXPECT_EQ(post.request.body, R"({"newSummonerLevel":5,"seenThisEvent":true})");
    EXPECT_EQ(post.request.contentType, "application/json");
    EXPECT_FALSE(post.response.any);
    EXPECT_EQ(post.response.status, 0u);
    EXPECT_EQ(post.response.error, "");
    EXPECT_TRUE(post.response.value->partial);
    ASSERT_EQ(post.events->size(), 2u);
    EXPECT_EQ((*post.events)[0].name, "OnJsonApiEvent");
    EXPECT_FALSE((*post.events)[0].payload.has_value());
    EXPECT_EQ(Describe((*post.events)[1].payload->value), "{data:~}");
    ASSERT_EQ(post.logs->size(), 2u);
    EXPECT_FALSE((*post.logs)[0].level.has_value());
    EXPECT_EQ((*post.logs)[0].text, "just this text");
    EXPECT_EQ((*post.logs)[1].level, 2);
    EXPECT_TRUE((*post.logs)[1].partial);

    const Step& get = scenario.steps[5];
    EXPECT_TRUE(get.response.any);
    EXPECT_FALSE(get.response.status.has_value());
    ASSERT_EQ(get.request.items.size(), 2u);
    EXPECT_EQ(get.request.items[1].name, "");
    EXPECT_EQ(Describe(get.request.items[1].value), R"("two")");
    EXPECT_EQ(get.request.body, "\x81\xa1\x61\x05");
    EXPECT_EQ(get.request.contentType, "application/x-msgpack");
    EXPECT_EQ(scenario.steps[6].request.body, "seenThisEvent: true");
    EXPECT_EQ(scenario.steps[6].request.contentType, "application/x-yaml");
    EXPECT_EQ(scenario.steps[7].eventType, "Create");
}

// Values are JSON-compatible YAML: plain scalars are typed as JSON would type them, everything else is text.
TEST(ScenarioReader, TypesValuesAsJsonDoes) {
    const Scenario scenario = Parse(R"(
steps:
  - put: /v
    value: &v
      {u: 5, s: -5, f: 1.5, e: 1e2, t: true, n: null, tilde: ~, empty: , quoted: "5", word: yes, upper: True,
       enum: SUCCEEDED, folded: "two
       lines", list: [1, [], {}]}
  - put: /w
    value: *v
)");
    const std::string expected =
        R"({e:f100,empty:~,enum:"SUCCEEDED",f:f1.5,folded:"two lines",list:[u1,[],{}],n:~,quoted:"5",s:i-5,t:true,)"
        R"(tilde:~,u:u5,upper:"True",word:"yes"})";
    EXPECT_EQ(Describe(scenario.steps[0].value), expected);
    EXPECT_EQ(Describe(scenario.steps[1].value), expected);
}

TEST(ScenarioReader, NamesTheLineAndColumnOfWhatIsMalformed) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"steps:\n  - put: /a\n    value: [1, 2\n", "4:1: YAML syntax error: did not find expected ',' or ']' while parsing a flow sequence that "
         "starts at line 3, column 12"},
        {"steps:\n  - put: /a\n    valeu: 1\n", "3:5: unknown key 'valeu' in a put step; it takes put, value, event-type, note, events, logs"},
        {"steps:\n  - put: /a\n    value: 1\n    delete: /b\n", "4:5: a step does one thing; this one has both put and delete"},
        {"steps:\n  - note: hello\n", "2:5: a step starts with one of put, delete, stream, fail, request"},
        {"steps:\n  - put: /a\n", "2:5: a put step needs the resource's value:"},
        {"steps:\n  - put: /a\n    value: 1\n    event-type: Delete\n", "4:17: the event-type of a put is Create or Update"},
        {"steps:\n  - put: kiv-login\n    value: 1\n", "2:10: a resource path starts with /, like /kiv-login/v1/session"},
        {"steps:\n  - fail: /a\n    status: fourty\n    error: x\n", "3:13: a status is a whole number from 0 to 4294967295"},
        {"steps:\n  - request: get /a\n", "2:14: a request is written METHOD /path?query, like GET /kiv-player-level-up/v1/level-up"},
        {"steps:\n  - request: GET /a\n    response: {value: 1, includes: 1}\n", "3:26: give either value or includes"},
        {"steps:\n  - request: GET /a\n    response: anything\n", "3:15: a response is a mapping of status, error, value or includes, or any to take every response"},
        {"steps:\n  - request: GET /a\n    body-hex: 8x\n", "3:15: expected bytes in hex, like \"82 a1 61 05\": \"8x\" is not a pair of hex digits"},
        {"steps:\n  - request: GET /a\n    body: 1\n    body-text: x\n", "4:5: a request has one body: body, body-text or body-hex"},
        {"steps:\n  - stream: /a\n    chunks: [x, [y]]\n", "3:17: a chunk is a text, not a sequence"},
        {"steps:\n  - delete: /a\n    logs:\n      - {level: DEBUG, text: x}\n", "4:17: a log level is OKAY, WARN, ERROR or ALWAYS (or 0 to 3)"},
        {"steps:\n  - delete: /a\n    events: {name: x}\n", "3:13: events is a list (lines starting with \"- \"), not a mapping"},
        {"steps:\n  - delete: /a\n    delete: /b\n", "3:5: the key 'delete' is given twice"},
        {"steps:\n  - request: GET /a\n    items: {x: 1, x: 2}\n", "3:19: the key 'x' is given twice"},
        {"steps:\n  - put: /a\n    value: {a: 1, b: {c: 2}, a: 3}\n", "3:30: the key 'a' is given twice"},
        {"steps:\n  - request: POST /a\n    body:\n      x:\n        y: 1\n        y: 2\n", "6:9: the key 'y' is given twice"},
        {"steps:\n  - delete: /a\n    events:\n      - {name: e, includes: {k: 1, k: 1}}\n", "4:36: the key 'k' is given twice"},
        {"steps:\n\t- put: /a\n", "2:1: YAML syntax error: found character that cannot start any token while scanning for the "
         "next token that starts at line 2, column 1 (line 2 is indented with a tab; YAML indents with spaces only)"},
        {"steps:\n  - put: /a\n\tvalue: 1\n", "3:1: YAML syntax error: found a tab character that violates indentation "
         "while scanning a plain scalar that starts at line 2, column 10 (line 3 is indented with a tab; YAML indents "
         "with spaces only)"},
        {"steps:\n  - put: /a\n   value: 1\n", "3:4: YAML syntax error: did not find expected '-' indicator while parsing "
         "a block collection that starts at line 2, column 3 (check the indentation of line 3: the keys of one mapping, "
         "and the dashes of one list, stand in one column)"},
        {"steps:\n  - put: /a\n    value:\n      - 1\n     - 2\n", "5:6: YAML syntax error: did not find expected key while "
         "parsing a block mapping that starts at line 2, column 5 (check the indentation of line 5: the keys of one "
         "mapping, and the dashes of one list, stand in one column)"},
        {"steps:\n  - put: /a\n     value: 1\n", "3:11: YAML syntax error: mapping values are not allowed in this context "
         "(a line indented deeper than the key above it, or a text with \": \" in it that is not quoted, reads this way)"},
        {"steps: x\n", "1:8: steps is a list (lines starting with \"- \"), not a scalar"},
        {"plugins: []\n", "1:1: a scenario needs steps:"},
        {"- put: /a\n", "1:1: a scenario is a mapping of keys and values, not a sequence"},
        {"stepz: []\n", "1:1: unknown key 'stepz' in a scenario; it takes plugins, steps"},
        {"steps: []\n---\nsteps: []\n", "2:1: a scenario file holds one YAML document"},
        {"steps:\n  - put: /a\n    value: *nothing\n", "3:12: the alias *nothing names no anchor defined before it"},
        {"steps:\n  - put: /a\n    value: !!int 5\n", "3:12: the tag tag:yaml.org,2002:int is not supported here; values are JSON-compatible YAML"},
        {"steps:\n  - put: /a\n    value: {[1]: 2}\n", "3:13: a mapping key must be a text"},
    };
    for (const auto& c : cases) {
        Scenario scenario;
        ScenarioError error;
        EXPECT_FALSE(ParseScenario(c.text, "", scenario, error)) << c.text;
        EXPECT_EQ(std::to_string(error.position.line) + ":" + std::to_string(error.position.column) + ": " +
                      error.message,
                  c.error)
            << c.text;
    }
}

TEST(ScenarioReader, RefusesNestingAndAliasesBeyondItsLimits) {
    Scenario scenario;
    ScenarioError error;
    const std::string deep = "steps:\n  - put: /a\n    value: " + std::string(300, '[') + std::string(300, ']') + "\n";
    EXPECT_FALSE(ParseScenario(deep, "", scenario, error));
    EXPECT_EQ(error.message, "the nodes are nested too deeply");

    std::string bomb = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
    for (char name = 'b'; name <= 'j'; ++name) {
        const char previous[] = {'*', static_cast<char>(name - 1), 0};
        bomb += std::string(1, name) + ": &" + name + " [" + previous + ", " + previous + ", " + previous + ", " +
                previous + ", " + previous + ", " + previous + ", " + previous + ", " + previous + "]\n";
    }
    EXPECT_FALSE(ParseScenario(bomb, "", scenario, error));
    EXPECT_EQ(error.message, "the aliases of this file expand to too many nodes");
}

TEST(ScenarioReader, ReportsAFileThatCannotBeRead) {
    Scenario scenario;
    std::string error;
    EXPECT_FALSE(ReadScenario("no/such/scenario.yaml", scenario, error));
    EXPECT_EQ(error, "no/such/scenario.yaml: cannot read: No such file or directory");
}

}  // namespace
}  // namespace Zarvo::DevCore
