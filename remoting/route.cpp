// GCC 12 with sanitizers takes members of std::function inside std::regex's compiler for uninitialized (a known
// false positive of the optimiser).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "remoting/route.h"

#include "remoting/percent_decoding.h"

namespace Zarvo {
namespace {

const char* GroupOf(uint32_t kind) {
    switch (kind) {
        case RouteParameter::Segment: return "([^/]*)";
        case RouteParameter::Reserved: return "(.*)";
        case RouteParameter::Fragment: return "#(.*)";
        default: return "";
    }
}

bool IsSpecial(char c) {
    return std::string_view("^$.*+?()[]|\\").find(c) != std::string_view::npos;
}

}  // namespace

std::string TemplateToPattern(std::string_view pathTemplate, std::vector<RouteParameter>& parameters) {
    std::string pattern;
    std::string name;
    uint32_t state = RouteParameter::NoGroup;
    for (char c : pathTemplate) {
        if (c == '{') {
            // A "{" inside a parameter restarts it and keeps the name read so far.
            state = RouteParameter::Segment;
        } else if (c == '}') {
            pattern += GroupOf(state);
            parameters.push_back({state, std::move(name)});
            name.clear();
            state = RouteParameter::NoGroup;
        } else if (state == RouteParameter::NoGroup) {
            if (IsSpecial(c)) pattern += '\\';
            pattern += c;
        } else if (state == RouteParameter::Segment && name.empty() && c == '+') {
            state = RouteParameter::Reserved;
        } else if (state == RouteParameter::Segment && name.empty() && c == '#') {
            state = RouteParameter::Fragment;
        } else {
            name += c;
        }
    }
    return pattern;
}

RemotingRoute::RemotingRoute(const BindingFunctionInfo* function, const RemotingBinding* binding,
                             std::string_view pathTemplate)
    : function(function), binding(binding) {
    if (pathTemplate.find('{') == std::string_view::npos) {
        literal = pathTemplate;
        return;
    }
    const size_t firstParameter = pathTemplate.find_first_of("{}");
    patternPrefix = pathTemplate.substr(0, firstParameter);
    pattern.emplace(TemplateToPattern(pathTemplate.substr(firstParameter), parameters),
                    std::regex::ECMAScript | std::regex::optimize);
}

bool RemotingRoute::MatchPath(std::string_view path, TextMap& captured) const {
    if (!pattern) return path == literal;
    if (path.size() > kMaxPatternMatchedPath || !path.starts_with(patternPrefix)) return false;
    const std::string_view rest = path.substr(patternPrefix.size());
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(rest.begin(), rest.end(), match, *pattern)) return false;
    for (size_t group = 1; group < match.size(); ++group) {
        if (!match[group].matched) return false;
        // Each group was added with a parameter, so there are never fewer parameters than groups; a "}" outside a
        // parameter adds a parameter without a group and so shifts the later names against the groups.
        const size_t offset = static_cast<size_t>(match[group].first - rest.begin());
        captured.insert_or_assign(parameters[group - 1].name,
                                  PercentDecode(rest.substr(offset, static_cast<size_t>(match[group].length()))));
    }
    return true;
}

}  // namespace Zarvo
