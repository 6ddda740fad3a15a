#include "remoting/api_description.h"

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "binding/descriptors.h"
#include "remoting/dispatch.h"
#include "remoting/transport.h"

namespace Zarvo {
namespace {

// The identifier a record shows: the described one when the registering code set it, else the type itself.
const BindingTypeIdentifier& Shown(const BindingTypeIdentifier& type, const BindingTypeIdentifier& described) {
    return described.code != BindingTypeCode::None ? described : type;
}

// The registered name of the enum or record an identifier references (itself or as the element); else "".
const char* TypeNameOf(const BindingTypeIdentifier& type) {
    switch (type.code) {
        case BindingTypeCode::Vector:
        case BindingTypeCode::Enum:
        case BindingTypeCode::Struct:
        case BindingTypeCode::Map:
            return type.descriptor ? type.descriptor->name.c_str() : "";
        default:
            return "";
    }
}

uint32_t CodeOf(BindingTypeCode code) { return static_cast<uint32_t>(code); }

uint32_t Count(size_t count) { return static_cast<uint32_t>(count); }

// Hands out consecutive, chained slices of a table that is sized once up front, so nothing in it ever moves.
template <class Record>
class Slices {
public:
    Slices(std::vector<Record>& records, size_t total) : records_(records) { records_.assign(total, Record{}); }

    // Null for no records, like every empty table of the description.
    Record* Take(size_t count) {
        if (count == 0) return nullptr;
        Record* first = records_.data() + used_;
        used_ += count;
        for (size_t i = 0; i + 1 < count; ++i) first[i].next = &first[i + 1];
        return first;
    }

private:
    std::vector<Record>& records_;
    size_t used_ = 0;
};

class TagSlices {
public:
    TagSlices(std::vector<const char*>& texts, size_t total) : texts_(texts) { texts_.reserve(total); }

    // Within the reserved capacity, so earlier slices stay where they are.
    const char* const* Take(const std::vector<std::string>& tags) {
        if (tags.empty()) return nullptr;
        const size_t first = texts_.size();
        for (const std::string& tag : tags) texts_.push_back(tag.c_str());
        return texts_.data() + first;
    }

private:
    std::vector<const char*>& texts_;
};


void FillArgument(ApiArgumentRecord& record, const BindingArgumentInfo& argument) {
    const BindingTypeIdentifier& type = Shown(argument.type, argument.describedType);
    record.name = argument.name.c_str();
    record.description = argument.description.c_str();
    record.typeCode = CodeOf(type.code);
    record.elementTypeCode = CodeOf(type.elementCode);
    record.typeName = TypeNameOf(type);
    record.optional = argument.optional ? 1 : 0;
}

void FillFunction(ApiFunctionBody& body, const BindingFunctionInfo& function, Slices<ApiArgumentRecord>& arguments,
                  TagSlices& tags) {
    ApiArgumentRecord* records = arguments.Take(function.arguments.size());
    for (size_t i = 0; i < function.arguments.size(); ++i) FillArgument(records[i], function.arguments[i]);
    const BindingTypeIdentifier& returns = Shown(function.returns, function.describedReturns);
    body.reserved = 0;
    body.dispatchContext = nullptr;
    body.name = function.name.c_str();
    body.nameSpace = function.nameSpace.c_str();
    body.arguments = records;
    body.argumentCount = Count(function.arguments.size());
    body.resultTypeCode = CodeOf(returns.code);
    body.resultElementTypeCode = CodeOf(returns.elementCode);
    body.resultTypeName = TypeNameOf(returns);
    body.description = function.description.c_str();
    body.help = function.help.c_str();
    body.threadSafe = function.threadSafe ? 1 : 0;
    body.asyncResultTypeName = function.async && returns.descriptor ? returns.descriptor->name.c_str() : "";
    body.tags = tags.Take(function.tags);
    body.tagCount = Count(function.tags.size());
}

void FillField(ApiFieldRecord& record, const BindingFieldInfo& field) {
    const BindingTypeIdentifier& type = Shown(field.type, field.describedType);
    record.name = field.name.c_str();
    record.description = field.description.c_str();
    record.offset = field.offset;
    record.typeCode = CodeOf(type.code);
    record.elementTypeCode = CodeOf(type.elementCode);
    record.typeName = TypeNameOf(type);
    record.customConverter = field.customConverter ? 1 : 0;
}

// A type with fields lists them; a type without lists its enumerators, in name order.
void FillType(ApiTypeRecord& record, const BindingTypeInfo& type, Slices<ApiFieldRecord>& fields,
              Slices<ApiEnumValueRecord>& enumValues, TagSlices& tags) {
    record.name = type.name.c_str();
    record.nameSpace = type.nameSpace.c_str();
    record.size = type.size;
    record.description = type.description.c_str();
    record.tags = tags.Take(type.tags);
    record.tagCount = Count(type.tags.size());
    if (!type.fields.empty()) {
        ApiFieldRecord* records = fields.Take(type.fields.size());
        for (size_t i = 0; i < type.fields.size(); ++i) FillField(records[i], type.fields[i]);
        record.fields = records;
        record.count = Count(type.fields.size());
        return;
    }
    ApiEnumValueRecord* records = enumValues.Take(type.values.size());
    ApiEnumValueRecord* value = records;
    for (const auto& [name, enumerator] : type.values) {
        value->name = enumerator.name.c_str();
        value->description = enumerator.description.c_str();
        value->value = enumerator.value;
        ++value;
    }
    record.values = records;
    record.count = Count(type.values.size());
}

void FillEvent(ApiEventRecord& record, const BindingEventInfo& event, TagSlices& tags) {
    record.name = event.name.c_str();
    record.nameSpace = event.nameSpace.c_str();
    record.payloadTypeName = event.type ? event.type->name.c_str() : "";
    record.description = event.description.c_str();
    record.tags = tags.Take(event.tags);
    record.tagCount = Count(event.tags.size());
}

// The function's record (zero when it has none), the binding's route and locations, and the dispatch pair.
void FillEntry(ApiFunctionEntry& entry, RemotingBinding& binding, const ApiFunctionRecord* record,
               Slices<ApiArgumentLocationRecord>& locations, HttpBaseTransport& transport) {
    const BindingFunctionInfo& function = *binding.function;
    ApiArgumentLocationRecord* records = locations.Take(function.arguments.size());
    for (size_t i = 0; i < function.arguments.size(); ++i) {
        const uint32_t location = i < binding.argumentLocations.size() ? binding.argumentLocations[i] : 0;
        records[i].location = location >= 1 && location <= 5 ? location : 0;
    }
    if (record) entry.function = record->function;
    entry.argumentLocations = records;
    entry.path = binding.Path().c_str();
    const auto method = static_cast<uint32_t>(binding.method);
    entry.method = method >= 1 && method <= 8 ? method : 0;
    entry.flags = 0;
    entry.stringLists = nullptr;
    entry.stringListCount = 0;
    entry.methodName = binding.methodName.c_str();
    entry.function.dispatchContext = &transport.ContextFor(function.name, &binding);
    entry.dispatch = DispatchCallback;
}

}  // namespace

ApiDescription::ApiDescription(HttpBaseTransport& transport) {
    const auto functions = transport.Registry().Functions();
    const auto types = transport.Registry().Types();
    const auto events = transport.Registry().Events();
    const auto bindings = transport.Bindings();

    size_t argumentTotal = 0, fieldTotal = 0, enumValueTotal = 0, locationTotal = 0, tagTotal = 0;
    for (const BindingFunctionInfo* function : functions) {
        argumentTotal += function->arguments.size();
        tagTotal += function->tags.size();
    }
    for (const BindingTypeInfo* type : types) {
        if (type->fields.empty())
            enumValueTotal += type->values.size();
        else
            fieldTotal += type->fields.size();
        tagTotal += type->tags.size();
    }
    for (const BindingEventInfo* event : events) tagTotal += event->tags.size();
    for (const RemotingBinding* binding : bindings) locationTotal += binding->function->arguments.size();

    Slices functionSlices(functions_, functions.size());
    Slices argumentSlices(arguments_, argumentTotal);
    Slices typeSlices(types_, types.size());
    Slices fieldSlices(fields_, fieldTotal);
    Slices enumValueSlices(enumValues_, enumValueTotal);
    Slices eventSlices(events_, events.size());
    Slices entrySlices(entries_, bindings.size());
    Slices locationSlices(locations_, locationTotal);
    TagSlices tagSlices(tags_, tagTotal);

    ApiFunctionRecord* functionRecords = functionSlices.Take(functions.size());
    std::unordered_map<std::string_view, const ApiFunctionRecord*> recordsByName;
    for (size_t i = 0; i < functions.size(); ++i) {
        FillFunction(functionRecords[i].function, *functions[i], argumentSlices, tagSlices);
        recordsByName.emplace(functions[i]->name, &functionRecords[i]);
    }
    ApiTypeRecord* typeRecords = typeSlices.Take(types.size());
    for (size_t i = 0; i < types.size(); ++i)
        FillType(typeRecords[i], *types[i], fieldSlices, enumValueSlices, tagSlices);
    ApiEventRecord* eventRecords = eventSlices.Take(events.size());
    for (size_t i = 0; i < events.size(); ++i) FillEvent(eventRecords[i], *events[i], tagSlices);
    ApiFunctionEntry* entries = entrySlices.Take(bindings.size());
    for (size_t i = 0; i < bindings.size(); ++i) {
        const auto record = recordsByName.find(bindings[i]->function->name);
        FillEntry(entries[i], *bindings[i], record == recordsByName.end() ? nullptr : record->second, locationSlices,
                  transport);
    }

    tables_.functions = entries;
    tables_.functionCount = Count(bindings.size());
    tables_.types = typeRecords;
    tables_.typeCount = Count(types.size());
    tables_.events = eventRecords;
    tables_.eventCount = Count(events.size());
}

}  // namespace Zarvo
