// The reference for path-template matching: the template translated into an ECMAScript regular expression with
// one group per parameter, matched by std::regex. Its engine recurses once per byte of the path and backtracks
// over every split between captures, so it serves only tests and the dispatch fuzz target on short paths.
#pragma once

// GCC 12 with sanitizers takes members of std::function inside std::regex's compiler for uninitialized (a known
// false positive of the optimiser); the warning comes where the includer instantiates the compiler.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "remoting/argument_binding.h"
#include "remoting/path_pattern.h"
#include "remoting/percent_decoding.h"

namespace Zarvo::Testing {

// The pattern text of a template, without anchors, and its parameters in template order: "{name}" becomes
// "([^/]*)", "{+name}" "(.*)", "{#name}" "#(.*)", a "}" outside a parameter records a parameter and adds nothing,
// and every other byte outside a parameter is written as itself, escaped when the grammar gives it a meaning.
inline std::string TemplateToPattern(std::string_view pathTemplate, std::vector<RouteParameter>& parameters) {
    std::string pattern;
    std::string name;
    uint32_t state = RouteParameter::NoGroup;
    for (char c : pathTemplate) {
        if (c == '{') {
            state = RouteParameter::Segment;
        } else if (c == '}') {
            pattern += state == RouteParameter::Segment    ? "([^/]*)"
                       : state == RouteParameter::Reserved ? "(.*)"
                       : state == RouteParameter::Fragment ? "#(.*)"
                                                           : "";
            parameters.push_back({state, std::move(name)});
            name.clear();
            state = RouteParameter::NoGroup;
        } else if (state == RouteParameter::NoGroup) {
            if (std::string_view("^$.*+?()[]|\\").find(c) != std::string_view::npos) pattern += '\\';
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

// A template matched against whole paths as a route does: byte for byte when it has no "{", else translated once
// and matched as a regular expression, the percent-decoded group i going under the name of parameter i, a later one
// replacing an earlier one of the same name.
class RegexRoute {
public:
    explicit RegexRoute(std::string_view pathTemplate)
        : literal_(pathTemplate.find('{') == std::string_view::npos),
          template_(pathTemplate),
          pattern_(TemplateToPattern(pathTemplate, parameters_), std::regex::ECMAScript | std::regex::optimize) {}

    bool MatchPath(std::string_view path, TextMap& captured) const {
        if (literal_) return path == template_;
        std::match_results<std::string_view::const_iterator> match;
        if (!std::regex_match(path.begin(), path.end(), match, pattern_)) return false;
        for (size_t group = 1; group < match.size(); ++group) {
            if (!match[group].matched) return false;
            const auto offset = static_cast<size_t>(match[group].first - path.begin());
            captured.insert_or_assign(parameters_[group - 1].name,
                                      PercentDecode(path.substr(offset, static_cast<size_t>(match[group].length()))));
        }
        return true;
    }

    size_t GroupCount() const { return literal_ ? 0 : pattern_.mark_count(); }

private:
    bool literal_;
    std::string template_;
    std::vector<RouteParameter> parameters_;
    std::regex pattern_;
};

}  // namespace Zarvo::Testing
