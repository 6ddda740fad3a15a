// A registered function with argument locations, bound against hand-built core requests.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "binding/registration.h"
#include "remoting/argument_binding.h"
#include "support/describe.h"

namespace Zarvo::Testing {

struct TestArgument {
    std::string name;
    BindingTypeCode code = BindingTypeCode::String;
    uint32_t location = AnyLocation;
    bool optional = false;
};

// The function is named "Fn", so messages end in "for 'Fn'." or "of 'Fn'".
class BoundFunction {
public:
    BoundFunction(std::initializer_list<TestArgument> arguments) {
        FunctionBuilder builder = registry_.Function("Fn");
        for (const TestArgument& argument : arguments) {
            builder.Argument(argument.name, BindingTypeIdentifier{argument.code}, {}, argument.optional);
            locations_.push_back(argument.location);
        }
        function_ = builder.Descriptor();
    }

    // The result as Describe spells it: the response's error, or "ok".
    std::string Bind(const PluginRequestRecord& request, const TextMap& headerValues = {},
                     const TextMap& pathParameters = {}) {
        response_ = BindingResult();
        BindArguments(response_, values_, *function_, locations_, request, headerValues, pathParameters);
        return response_.ok ? "ok" : Describe(response_);
    }
    std::string BindPath(const char* path, const TextMap& headerValues = {}, const TextMap& pathParameters = {}) {
        PluginRequestRecord request{};
        request.path = path;
        return Bind(request, headerValues, pathParameters);
    }

    std::string Value(size_t argument) const { return Describe(values_.at(argument)); }
    size_t ValueCount() const { return values_.size(); }
    const BindingFunctionInfo& Info() const { return *function_; }
    const std::vector<uint32_t>& Locations() const { return locations_; }

private:
    BindingRegistry registry_;
    BindingFunctionInfo* function_ = nullptr;
    std::vector<uint32_t> locations_;
    BindingResult response_;
    std::vector<BindingProperty> values_;
};

}  // namespace Zarvo::Testing
