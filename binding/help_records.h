// Records that describe a bound API in native form, registered with the builtins so that help can be converted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zarvo {

class BindingRegistry;

namespace BindingHelpProvider {

enum class HelpFormat : int32_t { Full = 1, Epytext = 2 };

struct FullTypeIdentifier {
    std::string type;
    // For vector and map types the element's spelling; otherwise empty.
    std::string elementType;
};

struct FullArgumentHelp {
    std::string name;
    std::string description;
    FullTypeIdentifier type;
    bool optional = false;
};

struct FullFunctionHelp {
    std::string name;
    std::string nameSpace;
    std::vector<FullArgumentHelp> arguments;
    FullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    // For an asynchronous function the registered name of its result type; otherwise empty.
    std::string async;
    std::vector<std::string> tags;
};

struct FullEnumValueHelp {
    std::string name;
    std::string description;
    int32_t value = 0;
};

struct FullFieldHelp {
    std::string name;
    std::string description;
    uint32_t offset = 0;
    FullTypeIdentifier type;
};

struct FullTypeHelp {
    std::string name;
    std::string nameSpace;
    uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<FullFieldHelp> fields;
    std::vector<FullEnumValueHelp> values;
};

struct FullEventHelp {
    std::string name;
    std::string nameSpace;
    FullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
};

struct FullApiHelp {
    std::vector<FullFunctionHelp> functions;
    std::vector<FullTypeHelp> types;
    std::vector<FullEventHelp> events;
};

// Registers "BindingHelpFormat" and the eight "BindingFull*" records, each tagged "$builtin" and "help".
void RegisterTypes(BindingRegistry& registry);

}  // namespace BindingHelpProvider
}  // namespace Zarvo
