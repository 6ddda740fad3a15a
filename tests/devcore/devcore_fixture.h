// Paths of the plugin libraries the devcore tests load, and small helpers around a test core.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "binding/property.h"
#include "devcore/json_text.h"
#include "devcore/test_core.h"
#include "formats/json_reader.h"

namespace Zarvo::DevCore::Testing {

inline const std::string kLevelUpLibrary = KIV_PLUGIN_LIBRARY;
inline std::string FakeLibrary(std::string_view name) {
    return KIV_FAKE_PLUGIN_DIR "/" + std::string(name) + KIV_LIBRARY_SUFFIX;
}

inline BindingProperty Json(std::string_view text) {
    BindingResult parsed = ParseJson(text);
    EXPECT_TRUE(parsed.ok) << text;
    return parsed.value;
}

// A folder of this test process's own, removed with everything in it when the object ends.
class ScratchFolder {
public:
    ScratchFolder() : path_(std::filesystem::temp_directory_path() / ("devcore-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Writes a file in the folder and returns its path.
    std::string Write(const std::string& name, std::string_view text) const {
        const std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

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
