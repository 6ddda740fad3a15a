#include "devcore/function_table.h"

#include "devcore/contract_bounds.h"
#include "devcore/http_method.h"
#include "devcore/plugin_text.h"

namespace Zarvo::DevCore {
namespace {

std::string Text(const char* text, const std::string& entry, const char* field, std::string& problem) {
    const std::optional<std::string_view> read = PlainText(text);
    if (!read && text) problem = "has " + entry + " whose " + field + " has no NUL within " + Grouped(kMaxPlainText) + " bytes";
    return std::string(read.value_or(""));
}

}  // namespace

std::string ReadFunctionTable(const PluginApiDescription& description, std::vector<FunctionRoute>& routes) {
    const ApiFunctionEntry* const table = description.functions;
    const uint32_t count = description.functionCount;
    if (count > kMaxFunctions)
        return "counts " + Grouped(count) + " functions, more than the core's bound of " + Grouped(kMaxFunctions);
    if (count > 0 && !table) return "counts " + Grouped(count) + " functions but has no table of them (a null pointer)";
    const ApiFunctionEntry* entry = table;
    for (uint32_t i = 0; i < count; ++i) {
        // The chain and the array must agree: a core may walk either.
        if (i > 0) {
            const ApiFunctionEntry* next = entry->next;
            if (!next)
                return "chains only " + Grouped(i) + " of the " + Grouped(count) + " function entries its count gives";
            if (next != table + i)
                return next == entry ? "chains function entry " + std::to_string(i) + " to itself"
                                     : "chains function entry " + std::to_string(i) +
                                           " to a record that is not the next one of its table";
            entry = next;
        }
        const std::string which = "function entry " + std::to_string(i + 1);
        const PluginDispatchCallback dispatch = entry->dispatch;
        if (!dispatch) continue;  // nothing to call it through
        std::string problem;
        const std::string path = Text(entry->path, which, "path", problem);
        const std::string name = Text(entry->function.name, which, "name", problem);
        const uint32_t method = entry->method;
        const std::string methodName = Text(entry->methodName, which, "method name", problem);
        if (!problem.empty()) return problem;
        if (path.empty() && name.empty()) return "has " + which + " with neither a path nor a name";
        if (method > kOtherMethod) return "has " + which + " (" + path + ") with the method code " + std::to_string(method);
        if (method == kOtherMethod && methodName.empty())
            return "has " + which + " (" + path + ") with the method code 8 but no method name";
        const std::string pathTemplate = path.empty() ? name : path;
        routes.push_back({entry, dispatch, entry->function.dispatchContext, pathTemplate, PathTemplate(pathTemplate),
                          method, methodName});
    }
    if (count > 0 && entry->next)
        return "chains more function entries than the " + Grouped(count) + " its count gives";
    return {};
}

}  // namespace Zarvo::DevCore
