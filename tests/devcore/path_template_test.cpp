#include <gtest/gtest.h>

#include <optional>

#include "devcore/path_template.h"

namespace Zarvo::DevCore {
namespace {

TEST(PathTemplateTest, MatchesWholePathsAndMeasuresWhatTheParametersCaptured) {
    struct Case {
        const char* pathTemplate;
        const char* path;
        std::optional<size_t> captured;  // nothing: no match
    } const cases[] = {
        {"/a/{id}", "/a/", 0},
        {"/a/{id}", "/a/b", 1},
        {"/a/{id}", "/a/b/c", std::nullopt},
        {"/a/{id}", "/a", std::nullopt},
        {"/a/{id}/x", "/a/bc/x", 2},
        {"/files/{+rest}", "/files/x/y", 3},
        {"/files/{+rest}", "/files/", 0},
        {"/page{#frag}", "/page#top", 3},
        {"/page{#frag}", "/pagetop", std::nullopt},
        {"/a.b", "/a.b", 0},
        {"/a.b", "/axb", std::nullopt},
        {"/a.b/{id}", "/axb/c", std::nullopt},
        {"/x/{id}", "/x/a%20b", 3},  // captured values count decoded
        {"/{a}/{a}", "/xx/y", 1},  // a later parameter of the same name replaces the value
        // The reserved parameter takes as much as the rest allows: "x%41" then "", not "x%4" and "1".
        {"/{+a}{b}", "/x%41", 2},
        {"/{+a}/{b}", "/x/y/z", 4},
        {"/a/{id", "/a/", 0},  // an unclosed parameter adds nothing
        {"/a/{id", "/a/{id", std::nullopt},
        {"/a/}b", "/a/}b", 0},  // no "{": taken literally
        {"/a/{{id}", "/a/b", 1},
        {"/v1/{+path}/{name}", "/v1/a/b/c", 4},
        {"/files/{+rest}", "/files/a\nb", std::nullopt},  // any text but a line break
        {"/page{#frag}", "/page#a\rb", std::nullopt},
        {"/a/{id}", "/a/b\nc", 3},  // a segment takes line breaks
    };
    for (const Case& c : cases) {
        size_t captured = 99;
        const bool matched = PathTemplate(c.pathTemplate).Match(c.path, &captured);
        EXPECT_EQ(matched, c.captured.has_value()) << c.pathTemplate << " " << c.path;
        if (matched && c.captured) {
            EXPECT_EQ(captured, *c.captured) << c.pathTemplate << " " << c.path;
        }
    }
    EXPECT_FALSE(PathTemplate("/a/b").HasParameters());
    EXPECT_TRUE(PathTemplate("/a/{b}").HasParameters());
    EXPECT_FALSE(PathTemplate("/a/{b").HasParameters());
}

TEST(PathTemplateTest, DecodesPercentEscapesAsTheRoutesDo) {
    EXPECT_EQ(PercentDecoded("%41b+c%2"), "Ab c2");
    EXPECT_EQ(PercentDecoded("%zz%4G%"), "\x10P");  // a byte that is no hex digit counts as 16
    EXPECT_EQ(PercentDecoded("%"), "");
    EXPECT_EQ(PercentDecoded("a%2"), "a2");
}

// A long path against a template of several parameters takes no recursion and no backtracking.
TEST(PathTemplateTest, MatchesLongPathsWithoutBacktracking) {
    const std::string path = "/" + std::string(100000, 'a') + "/b";
    size_t captured = 0;
    EXPECT_TRUE(PathTemplate("/{+a}{+b}{+c}{+d}/b").Match(path, &captured));
    EXPECT_EQ(captured, 100000u);
    EXPECT_FALSE(PathTemplate("/{+a}{+b}{+c}{+d}/c").Match(path));
}

}  // namespace
}  // namespace Zarvo::DevCore
