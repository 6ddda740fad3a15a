// Who a plugin is: the plugin API version it speaks, its type and its names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Zarvo::Client {

struct PluginApiVersion {
    uint32_t versionMajor = 0;
    uint32_t versionMinor = 0;
    uint32_t versionPatch = 0;
};

inline constexpr PluginApiVersion kPluginApiVersion{18, 0, 0};

// A plugin type: its name and a second text, empty for both known types.
struct PluginType {
    std::string name;
    std::string second;
};

inline const PluginType kBackendPluginType{"backend", ""};
inline const PluginType kFrontendPluginType{"frontend", ""};

struct PluginName {
    std::string fullName;
    std::string shortName;
    std::string typeName;
    std::string typeSecond;
};

// The same major version, and a (minor, patch) not below the plugin's own.
bool IsCompatibleCoreVersion(const PluginApiVersion& core);

// "tso-be-" for "backend", "tso-fe-" for "frontend", else "tso-xx-" (logged as an error), followed by the short name.
std::string GetFullNameFromShortNameAndType(std::string_view shortName, std::string_view typeName);

}  // namespace Zarvo::Client
