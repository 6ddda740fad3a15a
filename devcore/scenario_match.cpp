#include "devcore/scenario_match.h"

#include "devcore/json_text.h"

namespace Zarvo::DevCore {
namespace {

using Kind = BindingProperty::Kind;

bool IsNumber(Kind kind) { return kind == Kind::Signed || kind == Kind::Unsigned || kind == Kind::Float; }

bool SameNumber(const BindingProperty& a, const BindingProperty& b) {
    if (a.GetKind() == Kind::Float || b.GetKind() == Kind::Float) {
        auto real = [](const BindingProperty& n) {
            switch (n.GetKind()) {
                case Kind::Signed: return static_cast<double>(n.GetSigned(0));
                case Kind::Unsigned: return static_cast<double>(n.GetUnsigned(0));
                default: return n.GetDouble(0);
            }
        };
        return real(a) == real(b);
    }
    if (a.GetKind() == b.GetKind()) return a.GetKind() == Kind::Signed ? a.GetSigned(0) == b.GetSigned(0)
                                                                       : a.GetUnsigned(0) == b.GetUnsigned(0);
    const BindingProperty& signedOne = a.GetKind() == Kind::Signed ? a : b;
    const BindingProperty& unsignedOne = a.GetKind() == Kind::Signed ? b : a;
    return signedOne.GetSigned(0) >= 0 && static_cast<uint64_t>(signedOne.GetSigned(0)) == unsignedOne.GetUnsigned(0);
}

std::string Member(const std::string& path, std::string_view key) {
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::optional<std::string> Difference(const BindingProperty& expected, const BindingProperty& got, bool partial,
                                      const std::string& path) {
    const Kind kind = expected.GetKind();
    if (IsNumber(kind) && IsNumber(got.GetKind())) {
        if (SameNumber(expected, got)) return std::nullopt;
        return path;
    }
    if (kind != got.GetKind()) return path;
    if (kind == Kind::Collection) {
        if (expected.Size() != got.Size()) return path;
        for (size_t i = 0; i < expected.Size(); ++i)
            if (auto difference = Difference(expected.At(i), got.At(i), partial, path + "[" + std::to_string(i) + "]"))
                return difference;
        return std::nullopt;
    }
    if (kind == Kind::Structure) {
        for (const auto& [key, child] : expected.Members()) {
            const std::string place = Member(path, key.View());
            if (!got.HasChild(key.View())) return place;
            if (auto difference = Difference(child, got.Child(key.View()), partial, place)) return difference;
        }
        if (!partial)
            for (const auto& [key, child] : got.Members())
                if (!expected.HasChild(key.View())) return Member(path, key.View());
        return std::nullopt;
    }
    if (ToJsonText(expected) == ToJsonText(got)) return std::nullopt;
    return path;
}

}  // namespace

std::optional<std::string> FindDifference(const BindingProperty& expected, const BindingProperty& got, bool partly) {
    return Difference(expected, got, partly, "");
}

}  // namespace Zarvo::DevCore
