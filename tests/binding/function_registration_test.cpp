#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "binding/registration.h"
#include "conversion_test_support.h"

namespace Zarvo {
namespace {

using namespace Testing;
using Code = BindingTypeCode;

struct Level {
    uint32_t level = 0;
    std::string owner;
};

class FunctionRegistration : public ::testing::Test {
protected:
    FunctionRegistration() { registry.Record<Level>("Level").Field("level", &Level::level).Field("owner", &Level::owner); }

    // Begins, invokes and releases one call, as remoting drives an invoker.
    BindingResult Call(const char* name, std::vector<BindingProperty> arguments) {
        const BindingFunctionInfo* function = registry.FindFunction(name);
        BindingResult response;
        void* handle = function->invoker->Begin(response, arguments, 1);
        if (response.ok) function->invoker->Invoke(response, nullptr, handle, 1);
        function->invoker->Release(handle);
        return response;
    }

    BindingRegistry registry;
};

TEST_F(FunctionRegistration, TypesComeFromTheHandlerAndNamesFromTheBuilder) {
    const auto builder = registry
                             .Function("Raise",
                                       [](const std::string& owner, uint32_t by) {
                                           return Level{by, owner};
                                       })
                             .Argument("owner", "Who levels up")
                             .Argument("by", "Levels gained", true)
                             .Description("Raises a level.")
                             .Help("Longer text.")
                             .NameSpace("levels")
                             .Tags({"api", "test"})
                             .ThreadSafe()
                             .Attribute("weight", 3);
    EXPECT_FALSE(builder.Existed());
    const BindingFunctionInfo* raise = registry.FindFunction("Raise");
    ASSERT_EQ(raise, builder.Descriptor());
    ASSERT_EQ(raise->arguments.size(), 2u);
    EXPECT_EQ(raise->arguments[0].name, "owner");
    EXPECT_EQ(raise->arguments[0].nameHash, Fnv1a("owner"));
    EXPECT_EQ(raise->arguments[0].description, "Who levels up");
    EXPECT_EQ(raise->arguments[0].type.code, Code::String);
    EXPECT_FALSE(raise->arguments[0].optional);
    EXPECT_EQ(raise->arguments[1].type.code, Code::UInt32);
    EXPECT_TRUE(raise->arguments[1].optional);
    EXPECT_EQ(raise->returns.code, Code::Struct);
    EXPECT_EQ(raise->returns.descriptor, registry.FindType("Level"));
    EXPECT_EQ(raise->description, "Raises a level.");
    EXPECT_EQ(raise->help, "Longer text.");
    EXPECT_EQ(raise->nameSpace, "levels");
    EXPECT_EQ(raise->tags, (std::vector<std::string>{"api", "test"}));
    EXPECT_TRUE(raise->threadSafe);
    EXPECT_FALSE(raise->async);
    EXPECT_EQ(raise->attributes.at("weight"), 3u);
    EXPECT_EQ(raise->registry, &registry);
    EXPECT_EQ(&raise->invoker->RequestType(), &StaticType::HashCode<void>());
}

TEST_F(FunctionRegistration, ASecondRegistrationOfTheNameIsSkipped) {
    registry.Function("Ping", [] { return 1; }).Description("first");
    const BindingInvoker* invoker = registry.FindFunction("Ping")->invoker.get();
    const auto again = registry.Function("Ping", [](int32_t) { return 2; }).Argument("x").Description("second");
    EXPECT_TRUE(again.Existed());
    const BindingFunctionInfo* ping = registry.FindFunction("Ping");
    EXPECT_EQ(ping->invoker.get(), invoker);
    EXPECT_TRUE(ping->arguments.empty());
    EXPECT_EQ(ping->description, "first");
    EXPECT_EQ(registry.FunctionCount(), 1u);
}

TEST_F(FunctionRegistration, InvokerConvertsArgumentsAndResult) {
    registry.Function("Raise", [](const std::string& owner, uint32_t by) { return Level{by + 1, owner}; })
        .Argument("owner")
        .Argument("by", "", true);

    const BindingResult raised = Call("Raise", {Text("me"), Text("41")});
    ASSERT_TRUE(raised.ok) << raised.ErrorMessage();
    EXPECT_EQ(raised.value.Child("level").GetUnsigned(0), 42u);
    EXPECT_EQ(raised.value.Child("owner").GetString(), "me");

    // An optional argument left Empty (or missing) keeps its default.
    const BindingResult defaulted = Call("Raise", {Text("me")});
    ASSERT_TRUE(defaulted.ok) << defaulted.ErrorMessage();
    EXPECT_EQ(defaulted.value.Child("level").GetUnsigned(0), 1u);

    const BindingResult missing = Call("Raise", {Empty(), Signed(1)});
    EXPECT_EQ(missing.ErrorMessage(), "A value for 'owner' is required.");
    const BindingResult bad = Call("Raise", {Text("me"), Text("x")});
    EXPECT_EQ(bad.ErrorMessage(), "Value x for 'by' of type uint32 is in an incorrect format");
}

TEST_F(FunctionRegistration, VoidAndResultReturningHandlers) {
    int calls = 0;
    registry.Function("Touch", [&calls](const Level& level) { calls += static_cast<int>(level.level); }).Argument("level");
    registry.Function("Refuse", []() {
        BindingResult result;
        result.SetError("refused");
        return result;
    });
    const BindingResult touched = Call("Touch", {Object({{"level", Unsigned(3)}})});
    EXPECT_TRUE(touched.ok);
    EXPECT_TRUE(touched.value.IsEmpty());
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(Call("Touch", {Empty()}).ErrorMessage(), "A value for 'level' is required.");
    EXPECT_EQ(Call("Refuse", {}).ErrorMessage(), "refused");
    EXPECT_EQ(registry.FindFunction("Touch")->returns.code, Code::None);
}

TEST_F(FunctionRegistration, DescriptorOnlyFunctionsTakeTypedArguments) {
    registry.Function("Describe")
        .Argument<std::vector<Level>>("levels", "All levels")
        .Argument("raw", {Code::Callback, Code::None, nullptr})
        .Returns<std::unordered_map<std::string, Level>>()
        .Async();
    const BindingFunctionInfo* describe = registry.FindFunction("Describe");
    ASSERT_EQ(describe->arguments.size(), 2u);
    EXPECT_EQ(describe->arguments[0].type.code, Code::Vector);
    EXPECT_EQ(describe->arguments[0].type.elementCode, Code::Struct);
    EXPECT_EQ(describe->arguments[0].type.descriptor, registry.FindType("Level"));
    EXPECT_EQ(describe->arguments[1].type.code, Code::Callback);
    EXPECT_EQ(describe->returns.code, Code::Map);
    EXPECT_TRUE(describe->async);
    EXPECT_EQ(describe->invoker, nullptr);
}

}  // namespace
}  // namespace Zarvo
