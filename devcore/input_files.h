// The files that the command line names: each must be readable before anything runs, a folder stands for the
// scenario files in it, and a report file is written whole.
#pragma once

#include <string>
#include <vector>

namespace Zarvo::DevCore {

// True when every file can be opened for reading; else false with "cannot read <path>: <the system's reason>" for
// the first that cannot.
bool CheckReadable(const std::vector<std::string>& files, std::string& error);

// Reads a whole file into `text`. False with "cannot read: <the system's reason>" when it cannot.
bool ReadFile(const std::string& path, std::string& text, std::string& error);

// Writes the text as the whole file. False with "cannot write <path>: <the system's reason>" when it cannot.
bool WriteFile(const std::string& path, const std::string& text, std::string& error);

// The scenario files that the paths name, in order: a file as it is, a folder as its *.yaml and *.yml files sorted
// by name (not those of its subfolders). False with the reason when a path cannot be read or a folder holds no
// scenario file.
bool ListScenarioFiles(const std::vector<std::string>& paths, std::vector<std::string>& files, std::string& error);

}  // namespace Zarvo::DevCore
