#include "remoting/argument_binding.h"
#include "remoting/argument_location.h"

namespace Zarvo {
namespace {

// Byte by byte as in the C locale: only A to Z change.
std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& byte : lower) {
        if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
    }
    return lower;
}

}  // namespace

TextMap CollectHeaderValues(const TextMap& headers, const BindingFunctionInfo& function,
                            const std::vector<uint32_t>& locations) {
    TextMap values;
    for (size_t i = 0; i < function.arguments.size(); ++i) {
        const uint32_t location = LocationOf(locations, i);
        if (location != AnyLocation && location != HeaderLocation) continue;
        const std::string& name = function.arguments[i].name;
        auto header = headers.find(LowerCase(name));
        if (header != headers.end()) values.insert_or_assign(name, header->second);
    }
    return values;
}

}  // namespace Zarvo
