#include "remoting/route.h"

#include "remoting/percent_decoding.h"

namespace Zarvo {

RemotingRoute::RemotingRoute(const BindingFunctionInfo* function, const RemotingBinding* binding,
                             std::string_view pathTemplate)
    : function(function), binding(binding) {
    if (pathTemplate.find('{') == std::string_view::npos) {
        literal = pathTemplate;
        return;
    }
    patterned = true;
    pattern = PathPattern(pathTemplate, parameters);
}

bool RemotingRoute::MatchPath(std::string_view path, TextMap& captured) const {
    if (!patterned) return path == literal;
    std::vector<CaptureSpan> captures;
    if (!pattern.Match(path, captures)) return false;
    for (size_t index = 0; index < captures.size(); ++index) {
        // Each capture was added with a parameter, so there are never fewer parameters than captures; a "}" outside
        // a parameter adds a parameter without a capture and so shifts the later names against the captures. A
        // later capture of the same name replaces the earlier value.
        captured.insert_or_assign(parameters[index].name,
                                  PercentDecode(path.substr(captures[index].offset, captures[index].length)));
    }
    return true;
}

}  // namespace Zarvo
