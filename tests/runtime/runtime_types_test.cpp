#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/registry.h"
#include "runtime/runtime_types.h"

namespace Zarvo::Client {
namespace {

std::vector<std::string> FieldNames(const BindingTypeInfo& type) {
    std::vector<std::string> names;
    for (const BindingFieldInfo& field : type.fields) names.push_back(field.name);
    return names;
}

class RuntimeTypes : public ::testing::Test {
protected:
    void SetUp() override { RegisterRuntimeTypes(registry); }
    const BindingTypeInfo& Type(const char* name) {
        const BindingTypeInfo* type = registry.FindType(name);
        EXPECT_NE(type, nullptr) << name;
        return type ? *type : empty;
    }

    BindingRegistry registry;
    BindingTypeInfo empty;
};

TEST_F(RuntimeTypes, RecordsHaveTheirFieldsInOrderAndTheTag) {
    const struct {
        const char* name;
        std::vector<std::string> fields;
    } records[] = {
        {"PluginManagerResource", {"state"}},
        {"PluginResourceEvent", {"uri", "eventType", "data"}},
        {"PluginLcdsEvent", {"clientId", "subtopic", "typeName", "body"}},
        {"PluginLcdsResponse", {"typeName", "body"}},
        {"PluginServiceProxyResponse", {"uuid", "serviceName", "methodName", "payload", "status", "error"}},
    };
    for (const auto& record : records) {
        const BindingTypeInfo& type = Type(record.name);
        EXPECT_FALSE(type.isEnum) << record.name;
        EXPECT_EQ(FieldNames(type), record.fields) << record.name;
        EXPECT_EQ(type.tags, std::vector<std::string>{"zclient"}) << record.name;
    }
    EXPECT_EQ(Type("PluginResourceEvent").fields[1].type.descriptor, &Type("PluginResourceEventType"));
    EXPECT_EQ(Type("PluginManagerResource").fields[0].type.descriptor, &Type("PluginManagerState"));
}

TEST_F(RuntimeTypes, EnumerationsHaveTheirValues) {
    const BindingTypeInfo& state = Type("PluginManagerState");
    EXPECT_TRUE(state.isEnum);
    EXPECT_EQ(state.FindValue("NotReady")->value, 0);
    EXPECT_EQ(state.FindValue("PluginsInitialized")->value, 1);
    EXPECT_EQ(state.values.size(), 2u);
    const BindingTypeInfo& eventType = Type("PluginResourceEventType");
    EXPECT_EQ(eventType.FindValue("Create")->value, 0);
    EXPECT_EQ(eventType.FindValue("Update")->value, 1);
    EXPECT_EQ(eventType.FindValue("Delete")->value, 2);
    EXPECT_EQ(eventType.values.size(), 3u);
    EXPECT_EQ(eventType.tags, std::vector<std::string>{"zclient"});
}

TEST_F(RuntimeTypes, EventsCarryTheirPayloadsAndDescriptions) {
    const struct {
        const char* name;
        const char* payload;
        const char* description;
    } events[] = {
        {"OnJsonApiEvent", "PluginResourceEvent", "Fired when a resource is changed."},
        {"OnLcdsEvent", "PluginLcdsEvent", "Fired when a message is received over the LCDS connection."},
        {"OnServiceProxyUuidEvent", "PluginServiceProxyResponse",
         "Fired when a uuid-based service proxy message is received."},
        {"OnServiceProxyMethodEvent", "PluginServiceProxyResponse",
         "Fired when a method-based service proxy message is received."},
        {"OnServiceProxyAsyncEvent", "PluginServiceProxyResponse",
         "Fired when an async service proxy message is received."},
    };
    for (const auto& expected : events) {
        const BindingEventInfo* event = registry.FindEvent(expected.name);
        ASSERT_NE(event, nullptr) << expected.name;
        ASSERT_NE(event->type, nullptr) << expected.name;
        EXPECT_EQ(event->type->name, expected.payload);
        EXPECT_EQ(event->description, expected.description);
        EXPECT_EQ(event->tags, std::vector<std::string>{"zclient"});
    }
    EXPECT_EQ(registry.Events().size(), 5u);
}

TEST_F(RuntimeTypes, RegisteringTwiceChangesNothing) {
    RegisterRuntimeTypes(registry);
    EXPECT_EQ(Type("PluginResourceEvent").fields.size(), 3u);
    EXPECT_EQ(Type("PluginResourceEvent").tags.size(), 1u);
    EXPECT_EQ(registry.Types().size(), 7u);
}

}  // namespace
}  // namespace Zarvo::Client
