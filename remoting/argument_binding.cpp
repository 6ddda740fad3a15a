#include "remoting/argument_binding.h"

#include <stdexcept>

#include "formats/plugin_value.h"
#include "platform/format.h"
#include "remoting/argument_location.h"
#include "remoting/argument_text.h"
#include "remoting/body_decoding.h"
#include "remoting/nested_key.h"

namespace Zarvo {
namespace {

// Collection elements that index segments may add for any request, on top of one per byte of its path.
constexpr size_t kIndexElementFloor = 1024;

constexpr size_t kNoArgument = static_cast<size_t>(-1);

std::string_view PathText(const PluginRequestRecord& request) noexcept {
    const char* path = request.path;
    return path ? std::string_view(path) : std::string_view();
}

class ArgumentBinder {
public:
    ArgumentBinder(BindingResult& response, std::vector<BindingProperty>& values, const BindingFunctionInfo& function,
                   const std::vector<uint32_t>& locations, size_t elementAllowance)
        : response_(response), values_(values), function_(function), locations_(locations),
          elementAllowance_(elementAllowance) {}

    void SetBoolDefaults() {
        for (size_t i = 0; i < function_.arguments.size(); ++i) {
            const BindingArgumentInfo& argument = function_.arguments[i];
            if (argument.type.code == BindingTypeCode::Bool && !argument.optional) values_[i].SetBool(false);
        }
    }

    void BindTexts(const TextMap& entries, uint32_t source) {
        for (const auto& [key, text] : entries) {
            if (!response_.ok) return;
            BindText(key, text, source);
        }
    }

    void BindItems(const PluginRequestRecord& request, size_t pathParameterCount) {
        const PluginArgumentItem* items = request.items;
        const uint32_t count = items ? request.itemCount : 0;
        for (uint32_t i = 0; i < count && response_.ok; ++i) {
            const PluginArgumentItem item = items[i];
            const size_t argument = item.name ? FirstArgumentNamed(item.name) : i + pathParameterCount;
            if (argument >= values_.size()) {
                if (item.name) {
                    response_.SetError(FormatString("Unknown argument '%1' for '%2'.", item.name, function_.name));
                } else {
                    response_.SetError(FormatString("Unknown argument '%1' for '%2'.", argument, function_.name));
                }
                return;
            }
            Guarded(argument, [&] {
                BindingProperty& value = values_[argument];
                value.Clear();
                std::string error;
                if (!FromPluginValue(error, value, item.value, function_.arguments[argument].name)) {
                    response_.SetError(error);
                }
            });
        }
    }

    void BindBody(const PluginRequestRecord& request) {
        const uint8_t* body = request.body;
        if (!body) return;
        const size_t argument = FirstBodyArgument();
        if (argument == kNoArgument) return;
        const char* contentType = request.contentType;
        const uint32_t length = request.bodyLength;
        Guarded(argument, [&] {
            BindingResult decoded = DecodeBody(contentType, body, length);
            if (decoded.ok) {
                values_[argument] = std::move(decoded.value);
            } else {
                response_.SetError(decoded.ErrorMessage());
            }
        });
    }

private:
    void BindText(std::string_view key, std::string_view text, uint32_t source) {
        const size_t dot = key.find('.');
        const std::string_view head = key.substr(0, dot);
        const size_t argument = LastArgumentNamed(head);
        if (argument == kNoArgument) {
            response_.SetError(FormatString("Unknown argument '%1' for '%2'.", head, function_.name));
            return;
        }
        const uint32_t location = LocationOf(locations_, argument);
        if (location != AnyLocation && location != source) {
            response_.SetError(
                FormatString("Argument '%1' for '%2' was specified in an invalid location.", head, function_.name));
            return;
        }
        if (dot == std::string_view::npos) {
            SetWhole(argument, text);
        } else {
            SetNestedValue(response_, values_[argument], key.substr(dot + 1), text, elementAllowance_);
        }
    }

    void SetWhole(size_t argument, std::string_view text) {
        const BindingArgumentInfo& info = function_.arguments[argument];
        BindingProperty& value = values_[argument];
        const BindingTypeCode code = info.type.code;
        if (!text.empty()) {
            const bool sniff =
                code == BindingTypeCode::Object || code == BindingTypeCode::Vector || code == BindingTypeCode::Struct;
            Guarded(argument, [&] { DecodeArgumentText(response_, value, text, sniff, info.name, function_.name); });
            return;
        }
        switch (code) {
            case BindingTypeCode::Bool:
                value.SetBool(true);
                break;
            case BindingTypeCode::Object:
            case BindingTypeCode::Struct:
                value.Clear();
                value.MakeStructure();
                break;
            case BindingTypeCode::Vector:
                value.Clear();
                value.MakeCollection();
                break;
            default:
                response_.SetError(FormatString("Expected value for argument '%1'.", info.name));
        }
    }

    // A value with more elements than a collection may hold is reported on the response instead of thrown.
    template <class Fill>
    void Guarded(size_t argument, Fill fill) {
        try {
            fill();
        } catch (const std::length_error&) {
            response_.SetError(FormatString("Argument '%1' for '%2' has too many elements.",
                                            function_.arguments[argument].name, function_.name));
        }
    }

    // A later argument of the same name takes the name from an earlier one.
    size_t LastArgumentNamed(std::string_view name) const noexcept {
        for (size_t i = function_.arguments.size(); i-- > 0;) {
            if (function_.arguments[i].name == name) return i;
        }
        return kNoArgument;
    }

    size_t FirstArgumentNamed(std::string_view name) const noexcept {
        for (size_t i = 0; i < function_.arguments.size(); ++i) {
            if (function_.arguments[i].name == name) return i;
        }
        return kNoArgument;
    }

    size_t FirstBodyArgument() const noexcept {
        for (size_t i = 0; i < values_.size(); ++i) {
            if (LocationOf(locations_, i) == BodyLocation) return i;
        }
        return kNoArgument;
    }

    BindingResult& response_;
    std::vector<BindingProperty>& values_;
    const BindingFunctionInfo& function_;
    const std::vector<uint32_t>& locations_;
    size_t elementAllowance_;
};

}  // namespace

void BindArguments(BindingResult& response, std::vector<BindingProperty>& values, const BindingFunctionInfo& function,
                   const std::vector<uint32_t>& locations, const PluginRequestRecord& request,
                   const TextMap& headerValues, const TextMap& pathParameters) {
    values.clear();
    values.resize(function.arguments.size());
    const std::string_view path = PathText(request);
    const size_t queryStart = path.find('?');
    const std::string_view query =
        queryStart == std::string_view::npos ? std::string_view() : path.substr(queryStart + 1);

    ArgumentBinder binder(response, values, function, locations, kIndexElementFloor + path.size());
    binder.SetBoolDefaults();
    binder.BindTexts(headerValues, HeaderLocation);
    binder.BindTexts(pathParameters, PathLocation);
    binder.BindTexts(ParseQuery(query), QueryLocation);
    binder.BindItems(request, pathParameters.size());
    // The body is decoded whatever happened before; its failure replaces an earlier message.
    binder.BindBody(request);
}

}  // namespace Zarvo
