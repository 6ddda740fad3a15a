// The handler object of a bound function, made from the native callable at registration and driven by remoting.
#pragma once

#include <cstdint>
#include <span>

namespace Zarvo {

struct StaticTypeInfo;
struct BindingResult;
class BindingProperty;
struct RemotingRequest;

class BindingInvoker {
public:
    virtual ~BindingInvoker() = default;
    // Converts the argument values (one per declared argument) into the handler's native arguments. Returns the
    // handle of this call, or null; a failure is set on the response.
    virtual void* Begin(BindingResult& response, std::span<BindingProperty> arguments, uint32_t requestId) = 0;
    // Runs the handler and writes its result into the response. The request is null unless RequestType asks for it.
    virtual void Invoke(BindingResult& response, const RemotingRequest* request, void* handle, uint32_t requestId) = 0;
    virtual void Release(void* handle) noexcept = 0;
    // The request record the handler takes, or StaticType::HashCode<void>() when it takes none.
    virtual const StaticTypeInfo& RequestType() const noexcept = 0;
};

}  // namespace Zarvo
