#include "remoting/dispatch.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "binding/static_type.h"
#include "platform/format.h"
#include "remoting/remoting_request.h"
#include "remoting/response_record.h"
#include "remoting/route_matching.h"
#include "remoting/transport.h"

namespace Zarvo {
namespace {

constexpr std::string_view kInvalidFunction = "Invalid function";
constexpr uint32_t kNotFound = 404;
constexpr uint32_t kInternalError = 500;

// Requests come from outside the plugin: a null text reads as empty and a null array as holding nothing.
PluginRequestRecord Sanitized(const PluginRequestRecord& request) {
    PluginRequestRecord copy = request;
    if (!copy.path) copy.path = "";
    if (!copy.items) copy.itemCount = 0;
    if (!copy.headers) copy.headerCount = 0;
    if (!copy.contentType) copy.contentType = "";
    if (!copy.body) copy.bodyLength = 0;
    return copy;
}

// Names and values as delivered; a later pair of the same name replaces the earlier value.
TextMap ReadHeaders(const PluginRequestRecord& request) {
    TextMap headers;
    for (uint32_t i = 0; i < request.headerCount; ++i) {
        const PluginHeaderPair pair = request.headers[i];
        if (pair.name) headers.insert_or_assign(pair.name, pair.value ? pair.value : "");
    }
    return headers;
}

uint64_t TimestampNow() {
    using Ticks = std::chrono::duration<uint64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool TakesRequestRecord(const BindingInvoker& invoker) {
    const uint32_t type = invoker.RequestType().hashCode;
    return type == StaticType::HashCode<HttpBaseTransport::Request>().hashCode ||
           type == StaticType::HashCode<RemotingRequest>().hashCode;
}

// Releases the handle of a begun call once the response is composed, also when composing fails.
class CallHandle {
public:
    CallHandle(BindingInvoker& invoker, void* handle) noexcept : invoker_(invoker), handle_(handle) {}
    CallHandle(const CallHandle&) = delete;
    CallHandle& operator=(const CallHandle&) = delete;
    ~CallHandle() {
        if (handle_) invoker_.Release(handle_);
    }
    void* Get() const noexcept { return handle_; }

private:
    BindingInvoker& invoker_;
    void* handle_;
};

// "Internal error: " and the exception's text, in a fixed buffer: the failure may be the lack of memory.
void AnswerException(PluginResponseRecord& response, const char* what) noexcept {
    constexpr std::string_view prefix = "Internal error: ";
    char message[256];
    std::string_view reason = what ? what : "";
    if (reason.size() > sizeof(message) - prefix.size()) reason = reason.substr(0, sizeof(message) - prefix.size());
    prefix.copy(message, prefix.size());
    reason.copy(message + prefix.size(), reason.size());
    ComposeFailureRecord(response, kInternalError, std::string_view(message, prefix.size() + reason.size()));
}

void DispatchGuarded(PluginResponseRecord* response, const PluginRequestRecord* request, bool buildRoute) {
    if (!response) return;
    // Whatever the record holds is released by the routine stored with it; a record without one holds nothing.
    if (response->free) response->free(response);
    std::memset(static_cast<void*>(response), 0, sizeof(PluginResponseRecord));
    response->free = FreeResponseRecord;
    try {
        const auto* context = request ? static_cast<const DispatchContext*>(request->dispatchContext) : nullptr;
        if (!context || !context->transport || !context->binding) {
            ComposeFailureRecord(*response, kNotFound, kInvalidFunction);
            return;
        }
        const RemotingBinding& binding = *context->binding;
        if (buildRoute)
            context->transport->Dispatch(*response, *request,
                                         RemotingRoute(binding.function, &binding, binding.Template()));
        else
            context->transport->Dispatch(*response, *request, binding.Route());
    } catch (const std::exception& error) {
        AnswerException(*response, error.what());
    } catch (...) {
        AnswerException(*response, "unknown exception");
    }
}

}  // namespace

void KIV_CDECL DispatchCallback(PluginResponseRecord* response, const PluginRequestRecord* request) {
    DispatchGuarded(response, request, false);
}

void KIV_CDECL DispatchCallbackBuildingRoute(PluginResponseRecord* response, const PluginRequestRecord* request) {
    DispatchGuarded(response, request, true);
}

void HttpBaseTransport::Dispatch(PluginResponseRecord& record, const PluginRequestRecord& coreRequest,
                                 const RemotingRoute& route) {
    const PluginRequestRecord request = Sanitized(coreRequest);
    Request transportRequest;
    transportRequest.method = MethodFromCode(request.method);
    transportRequest.path = request.path;
    if (transportRequest.method == Method::Other && request.methodName)
        transportRequest.methodName = request.methodName;

    RemotingResponse response;
    const RemotingRoute* const routes[] = {&route};
    if (!MatchRoutes(routes, transportRequest)) {
        response.Fail(kNotFound, kInvalidFunction);
        ComposeResponseRecord(record, response, nullptr);
        return;
    }
    const BindingFunctionInfo& function = *transportRequest.function;
    const RemotingBinding& binding = *transportRequest.binding;

    TextMap headers = ReadHeaders(request);
    std::vector<BindingProperty> arguments;
    BindArguments(response, arguments, function, binding.argumentLocations, request,
                  CollectHeaderValues(headers, function, binding.argumentLocations), transportRequest.pathParameters);

    BindingInvoker* invoker = binding.invoker ? binding.invoker.get() : function.invoker.get();
    if (!invoker) response.SetError(FormatString("Function '%1' has no handler.", function.name));
    if (!response.ok) {
        ComposeResponseRecord(record, response, function.registry);
        return;
    }
    CallHandle call(*invoker, invoker->Begin(response, arguments, request.requestId));
    if (response.ok) {
        if (TakesRequestRecord(*invoker)) {
            RemotingRequest remotingRequest;
            remotingRequest.requestId = request.requestId;
            remotingRequest.registry = function.registry;
            remotingRequest.timestamp = TimestampNow();
            remotingRequest.method = transportRequest.method;
            remotingRequest.methodName = std::move(transportRequest.methodName);
            remotingRequest.path = transportRequest.path;
            remotingRequest.headers = std::move(headers);
            invoker->Invoke(response, &remotingRequest, call.Get(), request.requestId);
        } else {
            invoker->Invoke(response, nullptr, call.Get(), request.requestId);
        }
    }
    ComposeResponseRecord(record, response, function.registry);
}

}  // namespace Zarvo
