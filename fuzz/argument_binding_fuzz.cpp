// Binds arguments from a query and a body made of the input: the first byte picks the content type, the bytes up
// to the first 0xFF form the query, the rest the body (in a buffer of exactly its length).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "binding/registration.h"
#include "remoting/argument_binding.h"

namespace {

struct Target {
    Zarvo::BindingRegistry registry;
    Zarvo::BindingFunctionInfo* function = nullptr;
    std::vector<uint32_t> locations{0, 0, 0, 0, 1, 2, 5};

    Target() {
        using Code = Zarvo::BindingTypeCode;
        function = registry.Function("Fn")
                       .Argument("r", Zarvo::BindingTypeIdentifier{Code::Struct})
                       .Argument("v", Zarvo::BindingTypeIdentifier{Code::Vector})
                       .Argument("o", Zarvo::BindingTypeIdentifier{Code::Object})
                       .Argument("b", Zarvo::BindingTypeIdentifier{Code::Bool})
                       .Argument("s", Zarvo::BindingTypeIdentifier{Code::String})
                       .Argument("p", Zarvo::BindingTypeIdentifier{Code::String})
                       .Argument("body", Zarvo::BindingTypeIdentifier{Code::Object})
                       .Descriptor();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Target target;
    static const char* const contentTypes[] = {nullptr, "", "application/json", "application/x-yaml",
                                               "application/x-msgpack", "text/plain"};
    if (size == 0) return 0;
    const char* contentType = contentTypes[data[0] % 6];
    const auto* begin = data + 1;
    const auto* end = data + size;
    const auto* split = static_cast<const uint8_t*>(std::memchr(begin, 0xFF, size - 1));
    const std::string path = "/fn?" + std::string(begin, split ? split : end);
    const size_t bodyLength = split ? static_cast<size_t>(end - split - 1) : 0;
    auto body = std::make_unique<uint8_t[]>(bodyLength);
    if (bodyLength) std::memcpy(body.get(), split + 1, bodyLength);

    PluginRequestRecord request{};
    request.path = path.c_str();
    request.contentType = contentType;
    request.body = split ? body.get() : nullptr;
    request.bodyLength = static_cast<uint32_t>(bodyLength);

    Zarvo::BindingResult response;
    std::vector<Zarvo::BindingProperty> values;
    Zarvo::BindArguments(response, values, *target.function, target.locations, request, {{"s", "h"}}, {{"p", "x"}});
    return 0;
}
