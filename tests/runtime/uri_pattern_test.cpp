#include <gtest/gtest.h>

#include "runtime/uri_pattern.h"

namespace Zarvo::Client {
namespace {

TEST(UriPattern, StarTakesOnePieceWithoutBacktracking) {
    const struct {
        const char* pattern;
        const char* uri;
        bool matches;
    } cases[] = {
        {"/kiv-a/v1/*", "/kiv-a/v1/x", true},
        {"/kiv-a/v1/*", "/kiv-a/v1/", false},
        {"/kiv-a/v1/*", "/kiv-a/v1/x/y", false},
        {"/kiv-a/v1/*", "/kiv-a/v1", false},
        {"*b", "ab", false},
        {"*", "ab", true},
        {"/kiv-a/*/session", "/kiv-a/v1/session", true},
        {"/kiv-a/*/session", "/kiv-a/v1/sessions", false},
        // Facing a "/", the star takes nothing and matching goes on after it.
        {"/kiv-a/*/x", "/kiv-a//x", true},
        {"/kiv-a/*/*", "/kiv-a/v1/x", true},
        {"/kiv-a/v1/x", "/kiv-a/v1/x", true},
        {"/kiv-a/v1/x", "/kiv-a/v1/X", false},
        {"/kiv-a/v1/x", "/kiv-a/v1/xy", false},
        {"/kiv-a/v1/xy", "/kiv-a/v1/x", false},
        {"", "", true},
        {"*", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesUriPattern(c.pattern, c.uri), c.matches) << c.pattern << " vs " << c.uri;
}

}  // namespace
}  // namespace Zarvo::Client
