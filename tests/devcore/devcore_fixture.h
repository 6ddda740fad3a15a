// Paths of the plugin libraries the devcore tests load, and small helpers around a test core.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
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

// A file the build made, by a path that holds from any folder. The build names its files as the host does: on
// Windows (wine) such a path lacks its drive and leads elsewhere from a folder on another drive, such as the scratch
// folder.
inline std::string BuildFile(const std::string& path) { return std::filesystem::absolute(path).string(); }

inline const std::string kLevelUpLibrary = BuildFile(KIV_PLUGIN_LIBRARY);
inline std::string FakeLibrary(std::string_view name) {
    return BuildFile(KIV_FAKE_PLUGIN_DIR "/" + std::string(name) + KIV_LIBRARY_SUFFIX);
}

inline BindingProperty Json(std::string_view text) {
    BindingResult parsed = ParseJson(text);
    EXPECT_TRUE(parsed.ok) << text;
    return parsed.value;
}

// A folder of this object's own, removed with everything in it when the object ends.
class ScratchFolder {
public:
    ScratchFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("devcore-" + std::to_string(getpid()) + "-" + std::to_string(made_++))) {
        std::filesystem::create_directories(path_);
    }
    // On Windows a library that a core opened stays, as it stays loaded, and may keep some of the folder: no later
    // folder is the same one.
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // A path in the folder, written with the system's separators as the programs write it ("a\b.yaml" on Windows).
    std::string operator/(const std::string& name) const { return (path_ / name).make_preferred().string(); }
    // Writes a file in the folder and returns its path.
    std::string Write(const std::string& name, std::string_view text) const {
        const std::filesystem::path file = (path_ / name).make_preferred();
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

private:
    static inline std::atomic<int> made_ = 0;
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
