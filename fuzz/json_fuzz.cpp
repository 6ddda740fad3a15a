// ParseJson on arbitrary bytes: it must return a tree or an "Error: ..." envelope, never crash, hang or blow up.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/json_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Zarvo::BindingResult result = Zarvo::ParseJson({reinterpret_cast<const char*>(data), size});
    if (!result.ok && !result.ErrorMessage().starts_with("Error: ")) std::abort();
    return 0;
}
