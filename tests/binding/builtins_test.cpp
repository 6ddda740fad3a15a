#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/builtins.h"
#include "binding/conversion.h"
#include "binding/help_records.h"
#include "binding/registry.h"

namespace Zarvo {
namespace {

using Code = BindingTypeCode;

struct ExpectedField {
    const char* name;
    Code code;
    Code elementCode;
    const char* description;
    // The registered name of the record or enum the identifier refers to, or null.
    const char* descriptor = nullptr;
};

struct ExpectedRecord {
    const char* name;
    const char* description;
    std::vector<std::string> tags;
    std::vector<ExpectedField> fields;
};

class Builtins : public ::testing::Test {
protected:
    Builtins() { RegisterBuiltins(registry); }

    void ExpectRecords(const std::vector<ExpectedRecord>& records) {
        for (const ExpectedRecord& expected : records) {
            SCOPED_TRACE(expected.name);
            const BindingTypeInfo* type = registry.FindType(expected.name);
            ASSERT_NE(type, nullptr);
            EXPECT_FALSE(type->isEnum);
            EXPECT_EQ(type->description, expected.description);
            EXPECT_EQ(type->tags, expected.tags);
            ASSERT_EQ(type->fields.size(), expected.fields.size());
            for (size_t i = 0; i < expected.fields.size(); ++i) {
                const BindingFieldInfo& field = type->fields[i];
                const ExpectedField& want = expected.fields[i];
                EXPECT_EQ(field.name, want.name);
                EXPECT_EQ(field.type.code, want.code) << want.name;
                EXPECT_EQ(field.type.elementCode, want.elementCode) << want.name;
                EXPECT_EQ(field.description, want.description);
                EXPECT_EQ(field.type.descriptor, want.descriptor ? registry.FindType(want.descriptor) : nullptr);
            }
        }
    }

    BindingRegistry registry;
};

TEST_F(Builtins, AsyncStateEnumeration) {
    const BindingTypeInfo* state = registry.FindType("BindingAsyncState");
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->isEnum);
    EXPECT_EQ(state->size, 4u);
    EXPECT_EQ(state->description, "Possible states of an asynchronous operation.");
    EXPECT_EQ(state->tags, (std::vector<std::string>{"$builtin", "async"}));
    EXPECT_EQ(registry.FindType(StaticType::HashCode<BindingAsyncState::Type>()), state);
    const std::vector<BindingEnumValueInfo> expected = {
        {3, "Cancelled", "The operation was cancelled"},
        {2, "Cancelling", "A request to cancel the operation has been made"},
        {5, "Failed", "The operation encountered an error"},
        {0, "None", "Invalid state"},
        {1, "Running", "The operation is in flight"},
        {4, "Succeeded", "The operation completed successfully"},
    };
    ASSERT_EQ(state->values.size(), expected.size());
    size_t index = 0;
    for (const auto& [name, value] : state->values) {
        EXPECT_EQ(name, expected[index].name);
        EXPECT_EQ(value.value, expected[index].value);
        EXPECT_EQ(value.description, expected[index].description);
        ++index;
    }
}

TEST_F(Builtins, EventAndAsyncRecords) {
    ExpectRecords({
        {"BindingGenericEvent",
         "Represents generic data for an event.",
         {"$builtin"},
         {{"data", Code::Object, Code::None, "Event data"}}},
        {"BindingCallbackEvent",
         "Represents the parameters of a call to a provided callback.",
         {"$builtin"},
         {{"id", Code::UInt32, Code::None, "ID of the callback being invoked"},
          {"parameters", Code::Vector, Code::Object, "Callback parameters"}}},
        {"BindingGenericAsyncEvent",
         "Represents generic data for an asynchronous event.",
         {"$builtin", "async"},
         {{"asyncToken", Code::UInt32, Code::None, "Asynchronous operation token"},
          {"data", Code::Object, Code::None, "Event data"}}},
        {"BindingAsyncFailureEvent",
         "Represents a failed asynchronous operation.",
         {"$builtin", "async"},
         {{"asyncToken", Code::UInt32, Code::None, "Asynchronous operation token"},
          {"error", Code::String, Code::None, "Error message"}}},
        {"BindingAsyncCancelEvent",
         "Represents a cancelled asynchronous operation.",
         {"$builtin", "async"},
         {{"asyncToken", Code::UInt32, Code::None, "Asynchronous operation token"}}},
    });

    const BindingEventInfo* onCallback = registry.FindEvent("OnCallback");
    ASSERT_NE(onCallback, nullptr);
    EXPECT_EQ(onCallback->type, registry.FindType("BindingCallbackEvent"));
    EXPECT_EQ(onCallback->description, "Fired when a callback is invoked.");
    EXPECT_EQ(onCallback->tags, std::vector<std::string>{"$builtin"});
    EXPECT_EQ(registry.Events().size(), 1u);
}

TEST_F(Builtins, HelpRecords) {
    const std::vector<std::string> help = {"$builtin", "help"};
    ExpectRecords({
        {"BindingFullTypeIdentifier",
         "Describes the type of a value.",
         help,
         {{"type", Code::String, Code::None, ""}, {"elementType", Code::String, Code::None, ""}}},
        {"BindingFullArgumentHelp",
         "Describes a function parameter.",
         help,
         {{"name", Code::String, Code::None, ""},
          {"description", Code::String, Code::None, ""},
          {"type", Code::Struct, Code::None, "", "BindingFullTypeIdentifier"},
          {"optional", Code::Bool, Code::None, ""}}},
        {"BindingFullFunctionHelp",
         "Describes a function.",
         help,
         {{"name", Code::String, Code::None, ""},
          {"nameSpace", Code::String, Code::None, ""},
          {"arguments", Code::Vector, Code::Struct, "", "BindingFullArgumentHelp"},
          {"returns", Code::Struct, Code::None, "", "BindingFullTypeIdentifier"},
          {"description", Code::String, Code::None, ""},
          {"help", Code::String, Code::None, ""},
          {"threadSafe", Code::Bool, Code::None, ""},
          {"async", Code::String, Code::None, ""},
          {"tags", Code::Vector, Code::String, ""}}},
        {"BindingFullEnumValueHelp",
         "Describes an enumerator.",
         help,
         {{"name", Code::String, Code::None, ""},
          {"description", Code::String, Code::None, ""},
          {"value", Code::Int32, Code::None, ""}}},
        {"BindingFullFieldHelp",
         "Describes a member of a struct.",
         help,
         {{"name", Code::String, Code::None, ""},
          {"description", Code::String, Code::None, ""},
          {"offset", Code::UInt32, Code::None, ""},
          {"type", Code::Struct, Code::None, "", "BindingFullTypeIdentifier"}}},
        {"BindingFullTypeHelp",
         "Describes a struct or enum type.",
         help,
         {{"name", Code::String, Code::None, ""},
          {"nameSpace", Code::String, Code::None, ""},
          {"size", Code::UInt32, Code::None, ""},
          {"description", Code::String, Code::None, ""},
          {"tags", Code::Vector, Code::String, ""},
          {"fields", Code::Vector, Code::Struct, "", "BindingFullFieldHelp"},
          {"values", Code::Vector, Code::Struct, "", "BindingFullEnumValueHelp"}}},
        {"BindingFullEventHelp",
         "Describes an event.",
         help,
         {{"name", Code::String, Code::None, ""},
          {"nameSpace", Code::String, Code::None, ""},
          {"type", Code::Struct, Code::None, "", "BindingFullTypeIdentifier"},
          {"description", Code::String, Code::None, ""},
          {"tags", Code::Vector, Code::String, ""}}},
        {"BindingFullApiHelp",
         "Describes the exposed native API.",
         help,
         {{"functions", Code::Vector, Code::Struct, "", "BindingFullFunctionHelp"},
          {"types", Code::Vector, Code::Struct, "", "BindingFullTypeHelp"},
          {"events", Code::Vector, Code::Struct, "", "BindingFullEventHelp"}}},
    });

    const BindingTypeInfo* format = registry.FindType("BindingHelpFormat");
    ASSERT_NE(format, nullptr);
    EXPECT_TRUE(format->isEnum);
    EXPECT_EQ(format->description, "Help format for binding functions and types.");
    EXPECT_EQ(format->tags, help);
    ASSERT_EQ(format->values.size(), 2u);
    EXPECT_EQ(format->FindValue("Full")->value, 1);
    EXPECT_EQ(format->FindValue("Full")->description, "Native help format");
    EXPECT_EQ(format->FindValue("Epytext")->value, 2);
    EXPECT_EQ(format->FindValue("Epytext")->description, "Python epytext format");
    // The six async types and nine help types, once each.
    EXPECT_EQ(registry.Types().size(), 15u);
}

TEST_F(Builtins, AsyncFailureEventConvertsToItsTwoMembers) {
    BindingResult result;
    ConvertToProperty(result, BindingAsyncFailureEvent{7, "x"}, registry);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.value.Size(), 2u);
    EXPECT_EQ(result.value.Child("asyncToken").GetKind(), BindingProperty::Kind::Unsigned);
    EXPECT_EQ(result.value.Child("asyncToken").GetUnsigned(0), 7u);
    EXPECT_EQ(result.value.Child("error").GetString(), "x");
}

TEST_F(Builtins, CallbackEventWithoutParametersHasAnEmptyCollection) {
    BindingResult result;
    ConvertToProperty(result, BindingCallbackEvent{12, {}}, registry);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.value.Size(), 2u);
    EXPECT_EQ(result.value.Child("id").GetUnsigned(0), 12u);
    EXPECT_EQ(result.value.Child("parameters").GetKind(), BindingProperty::Kind::Collection);
    EXPECT_EQ(result.value.Child("parameters").Size(), 0u);
}

TEST_F(Builtins, HelpRecordsConvertLikeAnyRecord) {
    BindingHelpProvider::FullTypeHelp type;
    type.name = "Queue";
    type.size = 8;
    type.tags = {"api"};
    type.fields = {{"id", "", 0, {"int32", ""}}, {"minLevel", "", 4, {"uint32", ""}}};
    BindingResult result;
    ConvertToProperty(result, type, registry);
    ASSERT_TRUE(result.ok) << result.ErrorMessage();
    EXPECT_EQ(result.value.Child("fields").At(1).Child("type").Child("type").GetString(), "uint32");

    BindingHelpProvider::FullTypeHelp back;
    BindingResult converted;
    ConvertFromProperty(converted, back, result.value, registry);
    ASSERT_TRUE(converted.ok) << converted.ErrorMessage();
    EXPECT_EQ(back.name, "Queue");
    ASSERT_EQ(back.fields.size(), 2u);
    EXPECT_EQ(back.fields[1].offset, 4u);
    EXPECT_EQ(back.tags, type.tags);
}

}  // namespace
}  // namespace Zarvo
