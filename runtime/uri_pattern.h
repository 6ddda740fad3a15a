// Matching a resource URI against a subscription pattern with "*".
#pragma once

#include <string_view>

namespace Zarvo::Client {

// Both are taken whole. Other characters must be equal one by one; a "*" takes the URI's characters up to the next
// "/" or the end and never gives any back. A "*" facing a "/" takes nothing; a "*" facing the URI's end fails.
// So "/kiv-a/v1/*" matches "/kiv-a/v1/x", but neither "/kiv-a/v1/" nor "/kiv-a/v1/x/y"; "*b" never matches "ab".
bool MatchesUriPattern(std::string_view pattern, std::string_view uri);

inline bool IsUriPattern(std::string_view uri) { return uri.find('*') != std::string_view::npos; }

}  // namespace Zarvo::Client
