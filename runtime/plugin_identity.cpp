#include "runtime/plugin_identity.h"

#include "platform/format.h"
#include "platform/log.h"

namespace Zarvo::Client {

bool IsCompatibleCoreVersion(const PluginApiVersion& core) {
    const PluginApiVersion& own = kPluginApiVersion;
    return core.versionMajor == own.versionMajor &&
           (core.versionMinor > own.versionMinor ||
            (core.versionMinor == own.versionMinor && core.versionPatch >= own.versionPatch));
}

std::string GetFullNameFromShortNameAndType(std::string_view shortName, std::string_view typeName) {
    std::string_view prefix = "tso-xx-";
    if (typeName == kBackendPluginType.name) {
        prefix = "tso-be-";
    } else if (typeName == kFrontendPluginType.name) {
        prefix = "tso-fe-";
    } else {
        const std::string message =
            FormatString("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type", shortName,
                         typeName);
        LogFormat(LogLevel::Error, static_cast<uint32_t>(LogCategory::DBG), 0, "            Plugin Manager| %s",
                  message.c_str());
    }
    std::string fullName(prefix);
    fullName += shortName;
    return fullName;
}

}  // namespace Zarvo::Client
