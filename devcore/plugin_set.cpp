#include "devcore/plugin_set.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace Zarvo::DevCore {

bool LoadPlugins(TestCore& core, const std::vector<std::string>& paths, std::string& error) {
    std::map<std::string, std::string> loadedFrom;  // the real paths of the plugins loaded, by name
    std::vector<std::string> files;                 // the real paths loaded
    for (const std::string& path : paths) {
        std::error_code failure;
        const std::string file = std::filesystem::canonical(path, failure).string();
        if (failure) {
            error = "cannot load " + path + ": " + failure.message();
            return false;
        }
        if (std::find(files.begin(), files.end(), file) != files.end()) continue;
        if (!core.Load(file, &error)) return false;
        files.push_back(file);
        const std::string name = core.LoadedPlugins().back();
        if (const auto [earlier, added] = loadedFrom.emplace(name, file); !added) {
            error = file + " holds the plugin " + name + ", which is loaded already from " + earlier->second +
                    "; a core loads one plugin of each name";
            return false;
        }
    }
    return true;
}

}  // namespace Zarvo::DevCore
