// A variable of this process's environment set for as long as an object lives: a plugin loaded here, and any
// devcore started meanwhile, read it.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace Zarvo::DevCore::Testing {

inline void SetEnvironmentVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void RemoveEnvironmentVariable(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes the variable
#else
    unsetenv(name);
#endif
}

// Sets the variable, and gives it back its former value (or none) when the object goes.
class EnvironmentSetting {
public:
    EnvironmentSetting(const char* name, const std::string& value) : name_(name) {
        if (const char* former = std::getenv(name)) former_ = former;
        SetEnvironmentVariable(name, value);
    }
    ~EnvironmentSetting() {
        if (former_) SetEnvironmentVariable(name_, *former_);
        else RemoveEnvironmentVariable(name_);
    }
    EnvironmentSetting(const EnvironmentSetting&) = delete;
    EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

private:
    const char* name_;
    std::optional<std::string> former_;
};

}  // namespace Zarvo::DevCore::Testing
