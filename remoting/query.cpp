#include "remoting/argument_binding.h"
#include "remoting/percent_decoding.h"

namespace Zarvo {

TextMap ParseQuery(std::string_view text) {
    TextMap query;
    const size_t end = text.find('\0');
    if (end != std::string_view::npos) text = text.substr(0, end);
    if (text.empty()) return query;
    size_t start = 0;
    while (true) {
        const size_t separator = text.find('&', start);
        const std::string_view piece = text.substr(start, separator - start);
        const size_t equals = piece.find('=');
        std::string key = PercentDecode(piece.substr(0, equals));
        std::string value = equals == std::string_view::npos ? std::string() : PercentDecode(piece.substr(equals + 1));
        query.insert_or_assign(std::move(key), std::move(value));
        if (separator == std::string_view::npos) break;
        start = separator + 1;
    }
    return query;
}

}  // namespace Zarvo
