#include "binding/registration.h"

namespace Zarvo {

FunctionBuilder BindingRegistry::Function(std::string_view name) {
    return FunctionBuilder(*this, GetOrCreateFunction(name));
}

EventBuilder& EventBuilder::Description(std::string_view text) {
    if (!existed_) descriptor_->description = text;
    return *this;
}

EventBuilder& EventBuilder::NameSpace(std::string_view text) {
    if (!existed_) descriptor_->nameSpace = text;
    return *this;
}

EventBuilder& EventBuilder::Tag(std::string_view tag) {
    if (!existed_) descriptor_->tags.emplace_back(tag);
    return *this;
}

EventBuilder& EventBuilder::Tags(std::initializer_list<std::string_view> tags) {
    for (std::string_view tag : tags) Tag(tag);
    return *this;
}

FunctionBuilder& FunctionBuilder::Argument(std::string_view name, std::string_view description, bool optional) {
    if (existed_) return *this;
    if (namedArguments_ == descriptor_->arguments.size()) descriptor_->arguments.emplace_back();
    BindingArgumentInfo& argument = descriptor_->arguments[namedArguments_++];
    argument.name = name;
    argument.nameHash = Fnv1a(name);
    argument.description = description;
    argument.optional = optional;
    return *this;
}

FunctionBuilder& FunctionBuilder::Argument(std::string_view name, BindingTypeIdentifier type,
                                           std::string_view description, bool optional) {
    if (existed_) return *this;
    Argument(name, description, optional);
    descriptor_->arguments[namedArguments_ - 1].type = type;
    return *this;
}

void FunctionBuilder::AppendTyped(BindingTypeIdentifier type) { descriptor_->arguments.emplace_back().type = type; }

FunctionBuilder& FunctionBuilder::Returns(BindingTypeIdentifier type) {
    if (!existed_) descriptor_->returns = type;
    return *this;
}

FunctionBuilder& FunctionBuilder::Invoker(std::unique_ptr<BindingInvoker> invoker) {
    if (!existed_) descriptor_->invoker = std::move(invoker);
    return *this;
}

FunctionBuilder& FunctionBuilder::Description(std::string_view text) {
    if (!existed_) descriptor_->description = text;
    return *this;
}

FunctionBuilder& FunctionBuilder::Help(std::string_view text) {
    if (!existed_) descriptor_->help = text;
    return *this;
}

FunctionBuilder& FunctionBuilder::NameSpace(std::string_view text) {
    if (!existed_) descriptor_->nameSpace = text;
    return *this;
}

FunctionBuilder& FunctionBuilder::Tag(std::string_view tag) {
    if (!existed_) descriptor_->tags.emplace_back(tag);
    return *this;
}

FunctionBuilder& FunctionBuilder::Tags(std::initializer_list<std::string_view> tags) {
    for (std::string_view tag : tags) Tag(tag);
    return *this;
}

FunctionBuilder& FunctionBuilder::ThreadSafe(bool threadSafe) {
    if (!existed_) descriptor_->threadSafe = threadSafe;
    return *this;
}

FunctionBuilder& FunctionBuilder::Async(bool async) {
    if (!existed_) descriptor_->async = async;
    return *this;
}

FunctionBuilder& FunctionBuilder::Attribute(std::string_view key, uint32_t value) {
    if (!existed_) descriptor_->attributes.insert_or_assign(std::string(key), value);
    return *this;
}

}  // namespace Zarvo
