// DecodeMessagePack on arbitrary bytes: a tree or an error, and never a position past the input.
#include <cstdint>
#include <cstdlib>

#include "formats/msgpack_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t consumed = size + 1;
    Zarvo::BindingResult result = Zarvo::DecodeMessagePack(data, size, consumed);
    if (consumed > size) std::abort();
    if (!result.ok && result.ErrorMessage().empty()) std::abort();
    return 0;
}
