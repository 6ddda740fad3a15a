#include <string>
#include <utility>
#include <vector>

#include "formats/plugin_value.h"
#include "runtime/plugin.h"
#include "runtime/streamed_body.h"

namespace Zarvo::Client {
namespace {

// The argument items of a request as core values; item names point into the property they were made from.
class ArgumentItems {
public:
    ArgumentItems() = default;
    ArgumentItems(const ArgumentItems&) = delete;
    ArgumentItems& operator=(const ArgumentItems&) = delete;
    ~ArgumentItems() {
        for (PluginArgumentItem& item : items_) ClearPluginValue(item.value);
    }

    // The members of a structure as named items, the elements of a collection as positional ones, another value
    // as one positional item.
    void Fill(const BindingProperty& arguments, const BindingRegistry& registry) {
        switch (arguments.GetKind()) {
            case BindingProperty::Kind::Empty: break;
            case BindingProperty::Kind::Structure:
                items_.reserve(arguments.Size());
                for (const auto& [key, member] : arguments.Members()) Add(key.CStr(), member, registry);
                break;
            case BindingProperty::Kind::Collection:
                items_.reserve(arguments.Size());
                for (const BindingProperty& element : arguments.Elements()) Add(nullptr, element, registry);
                break;
            default: Add(nullptr, arguments, registry); break;
        }
    }

    const PluginArgumentItem* Data() const noexcept { return items_.empty() ? nullptr : items_.data(); }
    uint32_t Count() const noexcept { return static_cast<uint32_t>(items_.size()); }

private:
    void Add(const char* name, const BindingProperty& value, const BindingRegistry& registry) {
        PluginArgumentItem& item = items_.emplace_back();
        item.name = name;
        item.value = PluginValue{};
        ToPluginValue(item.value, value, &registry);
    }

    std::vector<PluginArgumentItem> items_;
};

// Calls the response's free routine, when it has one, once the response is no longer needed.
class ResponseFreeGuard {
public:
    explicit ResponseFreeGuard(PluginResponseRecord& response) : response_(response) {}
    ResponseFreeGuard(const ResponseFreeGuard&) = delete;
    ResponseFreeGuard& operator=(const ResponseFreeGuard&) = delete;
    ~ResponseFreeGuard() {
        const PluginResponseFree free = response_.free;
        if (free) free(&response_);
    }

private:
    PluginResponseRecord& response_;
};

// A failed response whose stream will not be read still hands the stream back.
void ReleaseUnreadStream(const PluginResponseRecord& response) {
    const PluginStreamRelease release = response.streamRelease;
    if (release) release(response.stream);
}

}  // namespace

RequestResult<> Plugin::SendRequest(Method method, std::string_view url, PluginResponseRecord& response) {
    return SendPropertyRequest(method, url, response, nullptr);
}

RequestResult<> Plugin::SendPropertyRequest(Method method, std::string_view url, PluginResponseRecord& response,
                                            const BindingProperty* arguments) {
    ArgumentItems items;
    if (arguments) items.Fill(*arguments, Registry());
    const std::string path(url);
    PluginRequestRecord request{};
    request.method = static_cast<uint32_t>(method);
    request.path = path.c_str();
    request.items = items.Data();
    request.itemCount = items.Count();
    request.requestId = pluginHandle_;
    CoreSendRequest(&response, &request);
    // The error flag alone is a failure too; without a text the status stands in for it.
    const char* const errorText = response.errorText;
    const uint32_t status = response.status;
    if (!errorText && !response.errorFlag) return RequestResult<>::Success();
    const std::string reason = errorText ? std::string(errorText) : FormatString("status %1", status);
    return RequestResult<>::Failure(static_cast<int32_t>(status),
                                    FormatString("Error response for %1 %2: %3", MethodName(method), url, reason));
}

RequestResult<BindingProperty> Plugin::RequestValue(Method method, std::string_view url) {
    using Result = RequestResult<BindingProperty>;
    PluginResponseRecord response{};
    const ResponseFreeGuard freeResponse(response);
    RequestResult<> sent = SendRequest(method, url, response);
    if (!sent.Ok()) {
        ReleaseUnreadStream(response);
        return Result::Failure(sent.error.status, std::move(sent.error.message));
    }
    if (!response.streamRead) {
        BindingProperty value;
        std::string error;
        if (!FromPluginValue(error, value, response.result, "<result>"))
            return Result::Failure(
                0, FormatString("Error converting response for %1 %2: %3", MethodName(method), url, error));
        return Result::Success(std::move(value));
    }
    BindingResult body = ReadStreamedBody(*this, response);
    if (!body.ok)
        return Result::Failure(0, FormatString("Error reading streamed response for %1 %2: %3",
                                               MethodName(method), url, body.ErrorMessage()));
    return Result::Success(std::move(body.value));
}

void Plugin::Wait() {
    CoreBeginWait("Wait: yield", 0);
    CoreYield();
    CoreEndWait();
}

}  // namespace Zarvo::Client
