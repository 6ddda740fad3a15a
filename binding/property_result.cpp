#include "binding/property.h"

namespace Zarvo {

void BindingResult::SetError(std::string_view message) {
    // The message may be text of the current value: build the new value before the old one goes.
    BindingProperty error;
    error.ChildForWrite("error").SetString(message);
    value = std::move(error);
    ok = false;
}

std::string_view BindingResult::ErrorMessage() const noexcept {
    if (ok) return {};
    return value.Child("error").GetString();
}

}  // namespace Zarvo
