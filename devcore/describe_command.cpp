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
    BindingProperty list;
    list.MakeCollection();
    const std::vector<std::string> names = core.LoadedPlugins();
    for (size_t i = 0; i < names.size(); ++i) {
        const PluginApiDescription* description = core.ApiDescription(names[i]);
        const RouteCatalogue catalogue =
            description ? ReadRouteCatalogue(names[i], *description) : RouteCatalogue{names[i], {}, {}};
        if (json)
            list.Element(i) = CatalogueValue(catalogue);
        else
            out << (i > 0 ? "\n" : "") << CatalogueText(catalogue);
    }
    if (json) out << ToJsonText(list) << "\n";
    out << std::flush;
    return 0;
}

}  // namespace Zarvo::DevCore
