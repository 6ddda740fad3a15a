#include "binding/property_context.h"

#include <new>

#include "platform/allocation.h"

namespace Zarvo {

PropertyContext* PropertyContext::Create() { return new (AllocateOrThrow(sizeof(PropertyContext))) PropertyContext(); }

void PropertyContext::Destroy(PropertyContext* context) noexcept {
    context->~PropertyContext();
    Release(context);
}

}  // namespace Zarvo
