#include "binding/help_records.h"

#include "binding/registration.h"

namespace Zarvo::BindingHelpProvider {

void RegisterTypes(BindingRegistry& registry) {
    registry.Enum<HelpFormat>("BindingHelpFormat")
        .Value("Full", HelpFormat::Full, "Native help format")
        .Value("Epytext", HelpFormat::Epytext, "Python epytext format")
        .Description("Help format for binding functions and types.")
        .Tags({"$builtin", "help"});

    registry.Record<FullTypeIdentifier>("BindingFullTypeIdentifier")
        .Field("type", &FullTypeIdentifier::type)
        .Field("elementType", &FullTypeIdentifier::elementType)
        .Description("Describes the type of a value.")
        .Tags({"$builtin", "help"});

    registry.Record<FullArgumentHelp>("BindingFullArgumentHelp")
        .Field("name", &FullArgumentHelp::name)
        .Field("description", &FullArgumentHelp::description)
        .Field("type", &FullArgumentHelp::type)
        .Field("optional", &FullArgumentHelp::optional)
        .Description("Describes a function parameter.")
        .Tags({"$builtin", "help"});

    registry.Record<FullFunctionHelp>("BindingFullFunctionHelp")
        .Field("name", &FullFunctionHelp::name)
        .Field("nameSpace", &FullFunctionHelp::nameSpace)
        .Field("arguments", &FullFunctionHelp::arguments)
        .Field("returns", &FullFunctionHelp::returns)
        .Field("description", &FullFunctionHelp::description)
        .Field("help", &FullFunctionHelp::help)
        .Field("threadSafe", &FullFunctionHelp::threadSafe)
        .Field("async", &FullFunctionHelp::async)
        .Field("tags", &FullFunctionHelp::tags)
        .Description("Describes a function.")
        .Tags({"$builtin", "help"});

    registry.Record<FullEnumValueHelp>("BindingFullEnumValueHelp")
        .Field("name", &FullEnumValueHelp::name)
        .Field("description", &FullEnumValueHelp::description)
        .Field("value", &FullEnumValueHelp::value)
        .Description("Describes an enumerator.")
        .Tags({"$builtin", "help"});

    registry.Record<FullFieldHelp>("BindingFullFieldHelp")
        .Field("name", &FullFieldHelp::name)
        .Field("description", &FullFieldHelp::description)
        .Field("offset", &FullFieldHelp::offset)
        .Field("type", &FullFieldHelp::type)
        .Description("Describes a member of a struct.")
        .Tags({"$builtin", "help"});

    registry.Record<FullTypeHelp>("BindingFullTypeHelp")
        .Field("name", &FullTypeHelp::name)
        .Field("nameSpace", &FullTypeHelp::nameSpace)
        .Field("size", &FullTypeHelp::size)
        .Field("description", &FullTypeHelp::description)
        .Field("tags", &FullTypeHelp::tags)
        .Field("fields", &FullTypeHelp::fields)
        .Field("values", &FullTypeHelp::values)
        .Description("Describes a struct or enum type.")
        .Tags({"$builtin", "help"});

    registry.Record<FullEventHelp>("BindingFullEventHelp")
        .Field("name", &FullEventHelp::name)
        .Field("nameSpace", &FullEventHelp::nameSpace)
        .Field("type", &FullEventHelp::type)
        .Field("description", &FullEventHelp::description)
        .Field("tags", &FullEventHelp::tags)
        .Description("Describes an event.")
        .Tags({"$builtin", "help"});

    registry.Record<FullApiHelp>("BindingFullApiHelp")
        .Field("functions", &FullApiHelp::functions)
        .Field("types", &FullApiHelp::types)
        .Field("events", &FullApiHelp::events)
        .Description("Describes the exposed native API.")
        .Tags({"$builtin", "help"});
}

}  // namespace Zarvo::BindingHelpProvider
