#include "devcore/input_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Zarvo::DevCore {

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

}  // namespace Zarvo::DevCore
