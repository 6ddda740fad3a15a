// The API description handed to the core: entries of the callable functions, type and event records.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "remoting/dispatch.h"
#include "remoting_fixture.h"

namespace Zarvo::Testing {
namespace {

struct Opaque {
    uint32_t handle = 0;
    std::string label;
};

// The records are packed: their fields are copied before gtest binds a reference to them.
template <class T>
T Copy(T value) {
    return value;
}

// Walks a table by its chain and checks that the chain is the array of `count` records.
template <class Record>
std::vector<const Record*> Chain(const Record* first, uint32_t count) {
    std::vector<const Record*> records;
    for (const Record* record = first; record; record = record->next) {
        EXPECT_EQ(record, first + records.size());
        records.push_back(record);
    }
    EXPECT_EQ(records.size(), count);
    return records;
}

std::vector<std::string> Texts(const char* const* texts, uint32_t count) {
    return {texts, texts + count};
}

class ApiDescriptionTables : public RemotingFixture {
protected:
    const ApiTypeRecord* Type(std::string_view name) const {
        for (const ApiTypeRecord* type : Chain(description->types, description->typeCount))
            if (name == type->name) return type;
        return nullptr;
    }
};

TEST_F(ApiDescriptionTables, OneEntryPerBindingOnly) {
    transport.Registry().Function("Plain", [](int32_t) {}).Argument("x");
    description = &transport.BuildApiDescription();
    const auto entries = Chain(description->functions, description->functionCount);
    EXPECT_EQ(entries.size(), transport.Bindings().size());
    EXPECT_EQ(Entry("Plain"), nullptr);
    for (const ApiFunctionEntry* entry : entries) {
        EXPECT_EQ(Copy(entry->function.reserved), 0u);
        EXPECT_EQ(Copy(entry->dispatch), &DispatchCallback);
        const auto* context = static_cast<const DispatchContext*>(entry->function.dispatchContext);
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(Copy(context->transport), &transport);
        EXPECT_EQ(context->binding->function->name, Copy(entry->function.name));
        EXPECT_EQ(Copy(context->binding), transport.FindBinding(*context->binding->function));
    }
}

TEST_F(ApiDescriptionTables, AnEntryCarriesItsFunctionRouteAndArgumentLocations) {
    const ApiFunctionEntry* entry = Entry("PutTestV1ItemsById");
    ASSERT_NE(entry, nullptr);
    const ApiFunctionBody& function = entry->function;
    EXPECT_STREQ(function.nameSpace, "");
    EXPECT_STREQ(function.description, "");
    EXPECT_STREQ(function.help, "");
    EXPECT_EQ(Copy(function.threadSafe), 0);
    EXPECT_STREQ(function.asyncResultTypeName, "");
    EXPECT_EQ(Copy(function.tags), nullptr);
    EXPECT_EQ(Copy(function.tagCount), 0u);
    // A vector of records as the result.
    EXPECT_EQ(Copy(function.resultTypeCode), 15u);
    EXPECT_EQ(Copy(function.resultElementTypeCode), 17u);
    EXPECT_STREQ(function.resultTypeName, "Item");

    const auto arguments = Chain(function.arguments, function.argumentCount);
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_STREQ(arguments[0]->name, "id");
    EXPECT_EQ(Copy(arguments[0]->typeCode), 12u);
    EXPECT_EQ(Copy(arguments[0]->elementTypeCode), 0u);
    EXPECT_STREQ(arguments[0]->typeName, "");
    EXPECT_EQ(Copy(arguments[0]->optional), 0);
    EXPECT_STREQ(arguments[1]->name, "items");
    EXPECT_EQ(Copy(arguments[1]->typeCode), 15u);
    EXPECT_EQ(Copy(arguments[1]->elementTypeCode), 17u);
    EXPECT_STREQ(arguments[1]->typeName, "Item");

    std::vector<uint32_t> locations;
    for (const auto* location : Chain(entry->argumentLocations, 2)) locations.push_back(Copy(location->location));
    EXPECT_EQ(locations, (std::vector<uint32_t>{2, 5}));
    EXPECT_STREQ(entry->path, "/test/v1/items/{id}");
    EXPECT_EQ(Copy(entry->method), 7u);
    EXPECT_EQ(Copy(entry->flags), 0);
    EXPECT_EQ(Copy(entry->stringLists), nullptr);
    EXPECT_EQ(Copy(entry->stringListCount), 0u);
    EXPECT_STREQ(entry->methodName, "");

    const ApiFunctionEntry* link = Entry("LinkTestV1Link");
    EXPECT_EQ(Copy(link->method), 8u);
    EXPECT_STREQ(link->methodName, "LINK");
    EXPECT_EQ(Copy(link->argumentLocations), nullptr);
    const ApiFunctionEntry* levelUp = Entry("GetKivPlayerLevelUpV1LevelUp");
    EXPECT_EQ(Texts(levelUp->function.tags, levelUp->function.tagCount), std::vector<std::string>{"level-up"});
    EXPECT_STREQ(levelUp->function.resultTypeName, "LevelUpEvent");
    EXPECT_EQ(Copy(levelUp->function.arguments), nullptr);
}

TEST_F(ApiDescriptionTables, RecordsListFieldsAndEnumerationsListTheirValuesByName) {
    const ApiTypeRecord* event = Type("LevelUpEvent");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(Copy(event->size), sizeof(LevelUpEvent));
    EXPECT_EQ(Copy(event->values), nullptr);
    const auto fields = Chain(event->fields, event->count);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_STREQ(fields[1]->name, "newSummonerLevel");
    EXPECT_EQ(Copy(fields[1]->offset), offsetof(LevelUpEvent, newSummonerLevel));
    EXPECT_EQ(Copy(fields[1]->typeCode), 7u);
    EXPECT_STREQ(fields[2]->name, "spells");
    EXPECT_EQ(Copy(fields[2]->typeCode), 15u);
    EXPECT_EQ(Copy(fields[2]->elementTypeCode), 12u);
    EXPECT_STREQ(fields[2]->typeName, "");
    EXPECT_EQ(Copy(fields[2]->customConverter), 0);

    const ApiTypeRecord* state = Type("BindingAsyncState");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(Copy(state->fields), nullptr);
    EXPECT_EQ(Copy(state->size), 4u);
    EXPECT_EQ(Texts(state->tags, state->tagCount), (std::vector<std::string>{"$builtin", "async"}));
    EXPECT_STREQ(state->description, "Possible states of an asynchronous operation.");
    std::vector<std::string> names;
    for (const auto* value : Chain(state->values, state->count))
        names.push_back(value->name + std::to_string(value->value));
    EXPECT_EQ(names,
              (std::vector<std::string>{"Cancelled3", "Cancelling2", "Failed5", "None0", "Running1", "Succeeded4"}));
    EXPECT_STREQ(state->values[4].description, "The operation is in flight");
    EXPECT_EQ(transport.Registry().Types().size(), Copy(description->typeCount));
}

TEST_F(ApiDescriptionTables, EventsNameTheirPayloadRecord) {
    const auto events = Chain(description->events, description->eventCount);
    ASSERT_EQ(events.size(), transport.Registry().Events().size());
    const ApiEventRecord* callback = nullptr;
    for (const ApiEventRecord* event : events)
        if (std::string_view(event->name) == "OnCallback") callback = event;
    ASSERT_NE(callback, nullptr);
    EXPECT_STREQ(callback->payloadTypeName, "BindingCallbackEvent");
    EXPECT_STREQ(callback->description, "Fired when a callback is invoked.");
    EXPECT_STREQ(callback->nameSpace, "");
    EXPECT_EQ(Texts(callback->tags, callback->tagCount), std::vector<std::string>{"$builtin"});
}

TEST_F(ApiDescriptionTables, DescribedIdentifiersReplaceTheTypesTheyStandFor) {
    BindingTypeInfo* opaque = transport.Registry().Record<Opaque>("Opaque")
                                  .Field("handle", &Opaque::handle)
                                  .Field("label", &Opaque::label)
                                  .Descriptor();
    const BindingTypeIdentifier asMood{BindingTypeCode::Enum, BindingTypeCode::None, transport.Registry().FindType("Mood")};
    opaque->fields[0].describedType = asMood;
    BindingFunctionInfo* put = transport.Registry().Function("PutTestV1ItemsById").Descriptor();
    put->arguments[0].describedType = {BindingTypeCode::Struct, BindingTypeCode::None, opaque};
    put->describedReturns = {BindingTypeCode::Map, BindingTypeCode::Struct, opaque};
    put->async = true;
    description = &transport.BuildApiDescription();

    const ApiFunctionBody& function = Entry("PutTestV1ItemsById")->function;
    EXPECT_EQ(Copy(function.resultTypeCode), 19u);
    EXPECT_EQ(Copy(function.resultElementTypeCode), 17u);
    EXPECT_STREQ(function.resultTypeName, "Opaque");
    EXPECT_STREQ(function.asyncResultTypeName, "Opaque");
    EXPECT_EQ(Copy(function.arguments[0].typeCode), 17u);
    EXPECT_STREQ(function.arguments[0].typeName, "Opaque");
    EXPECT_EQ(Copy(function.arguments[1].typeCode), 15u);
    const ApiTypeRecord* type = Type("Opaque");
    EXPECT_EQ(Copy(type->fields[0].typeCode), 16u);
    EXPECT_STREQ(type->fields[0].typeName, "Mood");
    EXPECT_EQ(Copy(type->fields[1].typeCode), 12u);
}

TEST_F(ApiDescriptionTables, RebuildingKeepsTheDispatchContexts) {
    const void* context = Entry("GetKivPlayerLevelUpV1LevelUp")->function.dispatchContext;
    description = &transport.BuildApiDescription();
    EXPECT_EQ(Copy(Entry("GetKivPlayerLevelUpV1LevelUp")->function.dispatchContext), context);
    pending = {true, 9, {}};
    EXPECT_EQ(Call("GetKivPlayerLevelUpV1LevelUp", CoreRequest(Method::Get, kLevelUp)).value,
              "{leveledUp:true,newSummonerLevel:u9,spells:[]}");
}

}  // namespace
}  // namespace Zarvo::Testing
