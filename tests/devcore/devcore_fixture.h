// Paths of the plugin libraries the devcore tests load, and small helpers around a test core.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "binding/property.h"
#include "devcore/json_text.h"
#include "devcore/test_core.h"
#include "formats/json_reader.h"

namespace Zarvo::DevCore::Testing {

inline const std::string kLevelUpLibrary = KIV_PLUGIN_LIBRARY;
inline std::string FakeLibrary(std::string_view name) { return KIV_FAKE_PLUGIN_DIR "/" + std::string(name) + ".so"; }

inline BindingProperty Json(std::string_view text) {
    BindingResult parsed = ParseJson(text);
    EXPECT_TRUE(parsed.ok) << text;
    return parsed.value;
}

// A test core whose story is kept, also past the core's end.
struct StoryCore {
    std::vector<std::string> story;
    TestCore core;

    StoryCore() {
        core.SetStory([this](std::string_view line) { story.emplace_back(line); });
    }
    void Load(const std::string& library) {
        std::string error;
        ASSERT_TRUE(core.Load(library, &error)) << error;
    }
    // The story lines that begin with the prefix.
    std::vector<std::string> Lines(std::string_view prefix) const {
        std::vector<std::string> lines;
        for (const std::string& line : story)
            if (line.starts_with(prefix)) lines.push_back(line);
        return lines;
    }
};

}  // namespace Zarvo::DevCore::Testing
