// Builders that describe native records, enumerations, events and functions to a BindingRegistry. Every step on a
// descriptor that existed before is skipped, so registering a type twice is harmless.
//
//   registry.Record<Queue>("Queue").Field("id", &Queue::id).Field("minLevel", &Queue::minLevel);
//   registry.Enum<LoginSessionState>("LoginSessionStates").Value("IN_PROGRESS", LoginSessionState::InProgress);
//   registry.Event<PluginResourceEvent>("OnJsonApiEvent").Description("Fired when a resource is changed.");
//   registry.Function("GetLevelUp", handler).Argument("pluginName", "The consuming plugin").ThreadSafe();
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <type_traits>

#include "binding/callable_invoker.h"
#include "binding/conversion.h"
#include "binding/native_type.h"
#include "binding/registry.h"
#include "binding/static_type.h"

namespace Zarvo {

// The identifier of native type T, with the registered descriptor of the enum or record it names (or holds).
template <class T>
BindingTypeIdentifier TypeIdentifierOf(const BindingRegistry& registry) {
    BindingTypeIdentifier identifier{TypeCodeOf<T>(), ElementCodeOf<T>(), nullptr};
    if constexpr (describedNativeType<T>) {
        identifier.descriptor = registry.FindType(StaticType::HashCode<T>());
    } else if constexpr (NativeContainer<T>::isVector || NativeContainer<T>::isMap) {
        using Element = typename NativeContainer<T>::Element;
        if constexpr (describedNativeType<Element>) identifier.descriptor = registry.FindType(StaticType::HashCode<Element>());
    }
    return identifier;
}

// The byte offset of a member, taken from storage in which no T is ever constructed: the member is named, not read.
template <class T, class Member>
uint32_t MemberOffset(Member T::*member) {
    union Storage {
        Storage() {}
        ~Storage() {}
        T object;
    } storage;
    return static_cast<uint32_t>(reinterpret_cast<const char*>(&(storage.object.*member)) -
                                 reinterpret_cast<const char*>(&storage.object));
}

// The steps shared by record and enum builders.
template <class Derived>
class TypeBuilder {
public:
    TypeBuilder(BindingRegistry& registry, BindingRegistry::Entry<BindingTypeInfo> entry)
        : registry_(registry), descriptor_(entry.descriptor), existed_(entry.existed) {}

    Derived& Description(std::string_view text) {
        if (!existed_) descriptor_->description = text;
        return Self();
    }
    Derived& NameSpace(std::string_view text) {
        if (!existed_) descriptor_->nameSpace = text;
        return Self();
    }
    Derived& Tag(std::string_view tag) {
        if (!existed_) descriptor_->tags.emplace_back(tag);
        return Self();
    }
    Derived& Tags(std::initializer_list<std::string_view> tags) {
        for (std::string_view tag : tags) Tag(tag);
        return Self();
    }
    BindingTypeInfo* Descriptor() const noexcept { return descriptor_; }
    bool Existed() const noexcept { return existed_; }

protected:
    Derived& Self() noexcept { return static_cast<Derived&>(*this); }

    BindingRegistry& registry_;
    BindingTypeInfo* descriptor_;
    bool existed_;
};

template <class T>
class RecordBuilder : public TypeBuilder<RecordBuilder<T>> {
public:
    using TypeBuilder<RecordBuilder<T>>::TypeBuilder;

    // A field whose type identifier, static type and converter follow from the member's type.
    template <class Member>
    RecordBuilder& Field(std::string_view name, Member T::*member, std::string_view description = {},
                         uint8_t flags = BindingFieldFlags::None) {
        if (this->existed_) return *this;
        BindingFieldInfo& field = AddField(name, description, MemberOffset(member), flags);
        field.type = TypeIdentifierOf<Member>(this->registry_);
        field.staticType = &StaticType::HashCode<Member>();
        field.converter = std::make_unique<TypedFieldConverter<Member>>();
        return *this;
    }

    // A field converted only through the given converter, whatever its type code (callbacks, custom encodings).
    template <class Member>
    RecordBuilder& CustomField(std::string_view name, Member T::*member, BindingTypeIdentifier type,
                               std::unique_ptr<FieldConverter> converter, std::string_view description = {},
                               uint8_t flags = BindingFieldFlags::None) {
        if (this->existed_) return *this;
        BindingFieldInfo& field = AddField(name, description, MemberOffset(member), flags);
        field.type = type;
        field.staticType = &StaticType::HashCode<Member>();
        field.converter = std::move(converter);
        field.customConverter = true;
        return *this;
    }

private:
    BindingFieldInfo& AddField(std::string_view name, std::string_view description, uint32_t offset,
                               uint8_t flags) {
        BindingFieldInfo& field = this->descriptor_->fields.emplace_back();
        field.name = name;
        field.nameHash = Fnv1a(name);
        field.description = description;
        field.offset = offset;
        field.flags = flags;
        return field;
    }
};

template <class E>
class EnumBuilder : public TypeBuilder<EnumBuilder<E>> {
public:
    using TypeBuilder<EnumBuilder<E>>::TypeBuilder;

    // The number is kept as the conversions read it back: the enum's storage taken as signed, then 32 bits.
    EnumBuilder& Value(std::string_view name, E value, std::string_view description = {}) {
        if (this->existed_) return *this;
        using Storage = std::make_signed_t<std::underlying_type_t<E>>;
        const auto number = static_cast<int32_t>(static_cast<Storage>(value));
        this->descriptor_->values.try_emplace(std::string(name),
                                              BindingEnumValueInfo{number, std::string(name), std::string(description)});
        return *this;
    }
};

class EventBuilder {
public:
    explicit EventBuilder(BindingRegistry::Entry<BindingEventInfo> entry)
        : descriptor_(entry.descriptor), existed_(entry.existed) {}

    EventBuilder& Description(std::string_view text);
    EventBuilder& NameSpace(std::string_view text);
    EventBuilder& Tag(std::string_view tag);
    EventBuilder& Tags(std::initializer_list<std::string_view> tags);
    BindingEventInfo* Descriptor() const noexcept { return descriptor_; }
    bool Existed() const noexcept { return existed_; }

private:
    BindingEventInfo* descriptor_;
    bool existed_;
};

class FunctionBuilder {
public:
    FunctionBuilder(BindingRegistry& registry, BindingRegistry::Entry<BindingFunctionInfo> entry)
        : registry_(registry), descriptor_(entry.descriptor), existed_(entry.existed) {}

    // Names the next argument whose type came from the handler's signature; past those, appends an untyped one.
    FunctionBuilder& Argument(std::string_view name, std::string_view description = {}, bool optional = false);
    FunctionBuilder& Argument(std::string_view name, BindingTypeIdentifier type, std::string_view description = {},
                              bool optional = false);
    template <class T>
    FunctionBuilder& Argument(std::string_view name, std::string_view description = {}, bool optional = false) {
        return Argument(name, TypeIdentifierOf<T>(registry_), description, optional);
    }
    FunctionBuilder& Returns(BindingTypeIdentifier type);
    template <class T>
    FunctionBuilder& Returns() {
        return Returns(TypeIdentifierOf<T>(registry_));
    }
    FunctionBuilder& Invoker(std::unique_ptr<BindingInvoker> invoker);
    FunctionBuilder& Description(std::string_view text);
    FunctionBuilder& Help(std::string_view text);
    FunctionBuilder& NameSpace(std::string_view text);
    FunctionBuilder& Tag(std::string_view tag);
    FunctionBuilder& Tags(std::initializer_list<std::string_view> tags);
    FunctionBuilder& ThreadSafe(bool threadSafe = true);
    FunctionBuilder& Async(bool async = true);
    FunctionBuilder& Attribute(std::string_view key, uint32_t value);

    // Takes the argument types, the result type and the invoker from a native callable.
    template <class Callable>
    FunctionBuilder& Handler(Callable callable) {
        if (existed_) return *this;
        using Signature = CallableSignature<Callable>;
        AppendArgumentTypes(static_cast<typename Signature::Arguments*>(nullptr));
        Returns<std::remove_cvref_t<typename Signature::Result>>();
        return Invoker(MakeCallableInvoker(std::move(callable), *descriptor_));
    }

    BindingFunctionInfo* Descriptor() const noexcept { return descriptor_; }
    bool Existed() const noexcept { return existed_; }

private:
    template <class... Args>
    void AppendArgumentTypes(std::tuple<Args...>*) {
        (AppendTyped(TypeIdentifierOf<std::remove_cvref_t<Args>>(registry_)), ...);
    }
    void AppendTyped(BindingTypeIdentifier type);

    BindingRegistry& registry_;
    BindingFunctionInfo* descriptor_;
    bool existed_;
    size_t namedArguments_ = 0;
};

template <class T>
RecordBuilder<T> BindingRegistry::Record(std::string_view name) {
    static_assert(TypeCodeOf<T>() == BindingTypeCode::Struct, "a record is a class type other than the containers");
    return RecordBuilder<T>(*this, GetOrCreateType(sizeof(T), name, StaticType::HashCode<T>(), false));
}

template <class E>
EnumBuilder<E> BindingRegistry::Enum(std::string_view name) {
    static_assert(std::is_enum_v<E> && (sizeof(E) == 1 || sizeof(E) == 2 || sizeof(E) == 4 || sizeof(E) == 8));
    return EnumBuilder<E>(*this, GetOrCreateType(sizeof(E), name, StaticType::HashCode<E>(), true));
}

template <class Payload>
EventBuilder BindingRegistry::Event(std::string_view name) {
    return EventBuilder(GetOrCreateEvent(name, StaticType::HashCode<Payload>()));
}

template <class Callable>
FunctionBuilder BindingRegistry::Function(std::string_view name, Callable callable) {
    FunctionBuilder builder = Function(name);
    builder.Handler(std::move(callable));
    return builder;
}

}  // namespace Zarvo
