#include "devcore/input_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace Zarvo::DevCore {
namespace {

bool IsScenarioFile(const std::filesystem::directory_entry& entry) {
    std::error_code ignored;
    const std::filesystem::path extension = entry.path().extension();
    return (extension == ".yaml" || extension == ".yml") && entry.is_regular_file(ignored);
}

bool ListFolder(const std::string& folder, std::vector<std::string>& files, std::string& error) {
    std::vector<std::filesystem::path> found;
    std::error_code failure;
    for (std::filesystem::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure))
        if (IsScenarioFile(*it)) found.push_back(it->path());
    if (failure) {
        error = "cannot read " + folder + ": " + failure.message();
        return false;
    }
    if (found.empty()) {
        error = folder + " holds no scenario file (*.yaml, *.yml)";
        return false;
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
    for (const std::filesystem::path& file : found) files.push_back(file.string());
    return true;
}

}  // namespace

bool CheckReadable(const std::vector<std::string>& files, std::string& error) {
    for (const std::string& path : files) {
        std::FILE* const file = std::fopen(path.c_str(), "rb");
        if (!file) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        std::fclose(file);
    }
    return true;
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::FILE* const file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    text.clear();
    char buffer[65536];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, read);
    const bool failed = std::ferror(file);
    const int reason = errno;
    std::fclose(file);
    if (failed) error = std::string("cannot read: ") + std::strerror(reason);
    return !failed;
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error) {
    std::FILE* const file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int reason = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) error = "cannot write " + path + ": " + std::strerror(written ? errno : reason);
    return written && closed;
}

bool ListScenarioFiles(const std::vector<std::string>& paths, std::vector<std::string>& files, std::string& error) {
    for (const std::string& path : paths) {
        std::error_code ignored;
        if (std::filesystem::is_directory(path, ignored)) {
            if (!ListFolder(path, files, error)) return false;
        } else {
            if (!CheckReadable({path}, error)) return false;
            files.push_back(path);
        }
    }
    return true;
}

}  // namespace Zarvo::DevCore
