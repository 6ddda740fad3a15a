#include "devcore/describe_command.h"

#include "devcore/json_text.h"
#include "devcore/plugin_set.h"
#include "devcore/route_catalogue.h"

namespace Zarvo::DevCore {

int DescribePlugins(const std::vector<std::string>& plugins, bool json, std::ostream& out) {
    TestCore core;
    if (std::string error; !LoadPlugins(core, plugins, error)) {
        out << "devcore: " << error << std::endl;
        return 1;
    }
    const std::vector<RouteCatalogue> catalogues = LoadedCatalogues(core);
    out << (json ? ToJsonText(CataloguesValue(catalogues)) + "\n" : CataloguesText(catalogues)) << std::flush;
    return 0;
}

}  // namespace Zarvo::DevCore
