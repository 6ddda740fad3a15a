// Registering route handlers: function names, binding fields, argument declarations and repeated registration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remoting/route_builder.h"
#include "remoting/route_name.h"
#include "remoting_fixture.h"

namespace Zarvo::Testing {
namespace {

TEST(RouteFunctionName, CapitalisesWordsAndSpellsParametersWithBy) {
    const struct {
        const char* method;
        const char* path;
        const char* name;
    } cases[] = {
        {"GET", "/kiv-player-level-up/v1/level-up", "GetKivPlayerLevelUpV1LevelUp"},
        {"POST", "/kiv-player-level-up/v1/level-up-notifications/{pluginName}",
         "PostKivPlayerLevelUpV1LevelUpNotificationsByPluginName"},
        {"DELETE", "/kiv-player-level-up/v1/level-up", "DeleteKivPlayerLevelUpV1LevelUp"},
        {"LINK", "/a!b+c.d_e", "LinkABCDE"},
        {"link", "/files/{+rest}", "LinkFilesByRest"},
        {"GET", "/x/{a}b{c}d", "GetXByAbByCd"},
        {"GET", "/", "Get"},
        {"", "/a", "A"},
    };
    for (const auto& c : cases) EXPECT_EQ(RouteFunctionName(c.method, c.path), c.name) << c.method << " " << c.path;
}

using RouteRegistration = RemotingFixture;

TEST_F(RouteRegistration, ARouteDescribesItsFunctionAndBinding) {
    const BindingFunctionInfo* post = transport.Registry().FindFunction("PostKivPlayerLevelUpV1LevelUpNotificationsByPluginName");
    ASSERT_NE(post, nullptr);
    ASSERT_EQ(post->arguments.size(), 2u);
    EXPECT_EQ(post->arguments[0].name, "pluginName");
    EXPECT_EQ(post->arguments[0].description, "");
    EXPECT_EQ(post->arguments[0].type.code, BindingTypeCode::String);
    EXPECT_EQ(post->arguments[1].name, "levelUpEventAck");
    EXPECT_EQ(post->arguments[1].type.code, BindingTypeCode::Struct);
    EXPECT_EQ(post->arguments[1].type.descriptor, transport.Registry().FindType("LevelUpAck"));
    EXPECT_EQ(post->returns.code, BindingTypeCode::None);
    EXPECT_EQ(post->tags, std::vector<std::string>{"level-up"});

    const RemotingBinding* binding = transport.FindBinding(*post);
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(binding->function, post);
    EXPECT_EQ(binding->method, Method::Post);
    EXPECT_EQ(binding->methodName, "");
    EXPECT_EQ(binding->Path(), kNotifications);
    EXPECT_EQ(binding->argumentLocations, (std::vector<uint32_t>{PathLocation, BodyLocation}));
    EXPECT_NE(binding->invoker, nullptr);
    EXPECT_EQ(post->invoker, nullptr);

    const BindingFunctionInfo* get = transport.Registry().FindFunction("GetKivPlayerLevelUpV1LevelUp");
    EXPECT_EQ(get->returns.code, BindingTypeCode::Struct);
    EXPECT_EQ(get->returns.descriptor, transport.Registry().FindType("LevelUpEvent"));
    EXPECT_EQ(transport.Registry().FindFunction("GetKivPlayerLevelUpV1LevelUpNotificationsByPluginName")->arguments[0].description,
              "The consuming plugin");
}

TEST_F(RouteRegistration, DeclarationsGiveLocationsOptionalityAndTheRequestRecordTakesNoArgument) {
    const BindingFunctionInfo& items = *transport.Registry().FindFunction("GetTestV1ItemsByShelf");
    EXPECT_EQ(transport.FindBinding(items)->argumentLocations,
              (std::vector<uint32_t>{PathLocation, QueryLocation, QueryLocation, HeaderLocation}));
    std::vector<bool> optional;
    for (const auto& argument : items.arguments) optional.push_back(argument.optional);
    EXPECT_EQ(optional, (std::vector<bool>{false, true, false, true}));

    const BindingFunctionInfo& echo = *transport.Registry().FindFunction("GetTestV1Request");
    EXPECT_TRUE(echo.arguments.empty());
    EXPECT_EQ(&transport.FindBinding(echo)->invoker->RequestType(), &StaticType::HashCode<RemotingRequest>());
    EXPECT_EQ(&transport.FindBinding(items)->invoker->RequestType(), &StaticType::HashCode<void>());

    const RemotingBinding& link = *transport.FindBinding(*transport.Registry().FindFunction("LinkTestV1Link"));
    EXPECT_EQ(link.method, Method::Other);
    EXPECT_EQ(link.methodName, "LINK");
}

TEST_F(RouteRegistration, ASecondRegistrationOfTheSameRouteChangesNothing) {
    const BindingFunctionInfo* get = transport.Registry().FindFunction("GetKivPlayerLevelUpV1LevelUpNotificationsByPluginName");
    const RemotingBinding* binding = transport.FindBinding(*get);
    const size_t bindings = transport.Bindings().size();
    RouteBuilder again = transport.Route(Method::Get, kNotifications, [](uint32_t, bool) { return 1; },
                                         QueryArgument("x"), QueryArgument("y"));
    again.Description("changed").Tag("changed");
    EXPECT_TRUE(again.Existed());
    EXPECT_EQ(again.Binding(), nullptr);
    EXPECT_EQ(again.Function(), get);
    EXPECT_EQ(transport.FindBinding(*get), binding);
    EXPECT_EQ(transport.Bindings().size(), bindings);
    ASSERT_EQ(get->arguments.size(), 1u);
    EXPECT_EQ(get->arguments[0].name, "pluginName");
    EXPECT_EQ(get->description, "");
    EXPECT_EQ(get->tags, std::vector<std::string>{"level-up"});
}

TEST_F(RouteRegistration, DescribingStepsReachTheFunction) {
    const RouteBuilder route = transport.Route(Method::Put, "/test/v1/described/", [] {})
                                   .Description("Puts.")
                                   .Help("More.")
                                   .NameSpace("tests")
                                   .Tags(std::vector<std::string>{"a", "b"})
                                   .ThreadSafe();
    const BindingFunctionInfo& function = *route.Function();
    EXPECT_EQ(function.name, "PutTestV1Described");
    EXPECT_EQ(function.description, "Puts.");
    EXPECT_EQ(function.help, "More.");
    EXPECT_EQ(function.nameSpace, "tests");
    EXPECT_EQ(function.tags, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(function.threadSafe);
    EXPECT_EQ(route.Binding()->Path(), "/test/v1/described");
}

}  // namespace
}  // namespace Zarvo::Testing
