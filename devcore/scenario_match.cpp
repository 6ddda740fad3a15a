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

// Appends the step to the path while a comparison below it runs, and takes it away after.
class PathGuard {
public:
    PathGuard(std::vector<ValueStep>& path, ValueStep step) : path_(path) { path_.push_back(std::move(step)); }
    ~PathGuard() { path_.pop_back(); }
    PathGuard(const PathGuard&) = delete;
    PathGuard& operator=(const PathGuard&) = delete;

private:
    std::vector<ValueStep>& path_;
};

// Compares the two values at the end of `path`; the path is as it was when no difference is found, and leads to
// the difference when one is.
bool Same(const BindingProperty& expected, const BindingProperty& got, bool partial, std::vector<ValueStep>& path,
          ValueDifference& difference) {
    const auto differ = [&](const BindingProperty* expectedPart, const BindingProperty* gotPart) {
        difference = {path, expectedPart, gotPart};
        return false;
    };
    const Kind kind = expected.GetKind();
    if (IsNumber(kind) && IsNumber(got.GetKind())) return SameNumber(expected, got) || differ(&expected, &got);
    if (kind != got.GetKind()) return differ(&expected, &got);
    if (kind == Kind::Collection) {
        if (expected.Size() != got.Size()) return differ(&expected, &got);
        for (size_t i = 0; i < expected.Size(); ++i) {
            const PathGuard step(path, {{}, i, true});
            if (!Same(expected.At(i), got.At(i), partial, path, difference)) return false;
        }
        return true;
    }
    if (kind == Kind::Structure) {
        for (const auto& [key, child] : expected.Members()) {
            const PathGuard step(path, {std::string(key.View()), 0, false});
            if (!got.HasChild(key.View())) return differ(&child, nullptr);
            if (!Same(child, got.Child(key.View()), partial, path, difference)) return false;
        }
        if (!partial)
            for (const auto& [key, child] : got.Members())
                if (!expected.HasChild(key.View())) {
                    const PathGuard step(path, {std::string(key.View()), 0, false});
                    return differ(nullptr, &child);
                }
        return true;
    }
    return ToJsonText(expected) == ToJsonText(got) || differ(&expected, &got);
}

}  // namespace

std::string ValueDifference::Place() const {
    std::string place;
    for (const ValueStep& step : path) {
        if (step.isIndex)
            place += "[" + std::to_string(step.index) + "]";
        else
            (place += place.empty() ? "" : ".") += step.key;
    }
    return place;
}

std::optional<ValueDifference> FindDifference(const BindingProperty& expected, const BindingProperty& got,
                                              bool partly) {
    std::vector<ValueStep> path;
    ValueDifference difference{};
    if (Same(expected, got, partly, path, difference)) return std::nullopt;
    return difference;
}

SourcePosition PositionOf(const YamlNode& written, const std::vector<ValueStep>& path) {
    const YamlNode* node = &written;
    for (const ValueStep& step : path) {
        const YamlNode* next = nullptr;
        if (step.isIndex && node->kind == YamlNode::Kind::Sequence && step.index < node->items.size())
            next = &node->items[step.index];
        if (!step.isIndex && node->kind == YamlNode::Kind::Mapping)
            for (size_t i = 0; i + 1 < node->items.size() && !next; i += 2)
                if (node->items[i].text == step.key) next = &node->items[i + 1];
        if (!next) break;
        node = next;
    }
    return node->position;
}

}  // namespace Zarvo::DevCore
