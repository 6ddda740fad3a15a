// ReadYaml on arbitrary bytes: a tree or an error message, never a crash, a hang or an alias explosion.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/yaml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Zarvo::BindingResult result = Zarvo::ReadYaml({reinterpret_cast<const char*>(data), size});
    if (!result.ok && result.ErrorMessage().empty()) std::abort();
    return 0;
}
