#include "devcore/core_value_reader.h"

#include <new>
#include <unordered_set>

#include "devcore/contract_bounds.h"
#include "devcore/plugin_text.h"

namespace Zarvo::DevCore {
namespace {

// A container whose members are being read.
struct OpenContainer {
    const PluginValue* elements;     // an array's records, or null
    const PluginValueEntry* entries;  // an object's entries, or null
    uint32_t count;
    uint32_t next = 0;
    BindingProperty* target;
    std::string_view key;  // the key of the member read last
};

class Reader {
public:
    explicit Reader(ValueReading& reading) : reading_(reading) {}

    void Read(const PluginValue& root, BindingProperty& value) {
        if (!Visit(root, value)) return;
        while (!open_.empty()) {
            OpenContainer& top = open_.back();
            if (top.next == top.count) {
                enclosing_.erase(top.elements ? static_cast<const void*>(top.elements) : top.entries);
                open_.pop_back();
                continue;
            }
            const uint32_t index = top.next++;
            if (top.elements) {
                if (!Visit(top.elements[index], top.target->Elements()[index])) return;
                continue;
            }
            const PluginValueEntry& entry = top.entries[index];
            const std::optional<std::string_view> key = PlainText(entry.key);
            // A member whose key cannot be read is placed by its position.
            top.key = key ? *key : (unreadable_ = "(member " + std::to_string(index + 1) + ")");
            if (!entry.key) return Fail("a member with a null key");
            if (!key) return Fail("a key without a NUL within " + Grouped(kMaxPlainText) + " bytes");
            reading_.bytes += key->size();
            if (top.target->HasChild(*key)) reading_.warnings.push_back("a key given twice" + At());
            BindingProperty& member = top.target->ChildForWrite(*key);
            member.Clear();
            if (!Visit(entry.value, member)) return;
        }
    }

    void Fail(std::string what) { reading_.problem = std::move(what) + At(); }

private:
    // " at data.items[2]": where the member read last lies; nothing for the root.
    std::string At() const {
        std::string path;
        for (const OpenContainer& open : open_) {
            if (open.elements) {
                path += "[" + std::to_string(open.next - 1) + "]";
            } else {
                if (!path.empty()) path += '.';
                path += open.key;
            }
        }
        return path.empty() ? "" : " at " + path;
    }

    // Reads a leaf into `target`, or opens a container; false after a problem.
    bool Visit(const PluginValue& record, BindingProperty& target) {
        if (++reading_.values > kMaxValueNodes) return Fail(MoreValues()), false;
        const uint32_t kind = record.kind;
        const PluginValueSpan span = record.payload.span;
        switch (kind) {
            case PluginValueNull: target.Clear(); return true;
            case PluginValueBool: {
                const uint8_t byte = record.payload.boolean;
                if (byte > 1) return Fail("a bool whose byte is " + std::to_string(byte)), false;
                target.SetBool(byte == 1);
                return true;
            }
            case PluginValueSigned: target.SetSigned(record.payload.i64); return true;
            case PluginValueUnsigned: target.SetUnsigned(record.payload.u64); return true;
            case PluginValueFloat: target.SetDouble(record.payload.f64); return true;
            case PluginValueBorrowedString:
            case PluginValueOwnedString: {
                std::string_view text;
                std::string problem = ReadCountedText(static_cast<const char*>(span.data), span.count, text);
                if (!problem.empty()) return Fail(std::move(problem)), false;
                reading_.bytes += text.size();
                target.SetString(text);
                return true;
            }
            case PluginValueBorrowedBytes:
            case PluginValueOwnedBytes:
                if (span.count > kMaxValueBytes)
                    return Fail("a byte array of " + Grouped(span.count) + " bytes, more than the core's bound of " +
                                Grouped(kMaxValueBytes)),
                           false;
                if (span.count > 0 && !span.data)
                    return Fail("a byte array of " + Grouped(span.count) + " bytes with a null pointer"), false;
                reading_.bytes += span.count;
                target.SetBlob(static_cast<const uint8_t*>(span.data), span.count);
                return true;
            case PluginValueArray:
            case PluginValueObject: return Open(kind == PluginValueArray, span, target);
            default: return Fail("a value of kind " + std::to_string(kind)), false;
        }
    }

    bool Open(bool isArray, PluginValueSpan span, BindingProperty& target) {
        const char* const what = isArray ? "an array" : "an object";
        const char* const members = isArray ? " elements" : " members";
        if (span.count > kMaxValueNodes - reading_.values)
            return Fail(std::string(what) + " of " + Grouped(span.count) + members + ", " + MoreValues()), false;
        if (span.count > 0 && !span.data)
            return Fail(std::string(what) + " of " + Grouped(span.count) + members + " with a null pointer"), false;
        if (open_.size() == kMaxValueDepth)
            return Fail(std::string(what) + " nested in " + Grouped(kMaxValueDepth) +
                        " containers, deeper than the core's bound"),
                   false;
        if (span.count > 0 && enclosing_.contains(span.data))
            return Fail(std::string(what) + " that contains itself"), false;
        if (isArray) {
            target.Clear();
            target.MakeCollection();
            if (span.count == 0) return true;
            target.Reserve(span.count);
            target.Element(span.count - 1);
            open_.push_back({static_cast<const PluginValue*>(span.data), nullptr, span.count, 0, &target, {}});
        } else {
            target.Clear();
            target.MakeStructure();
            if (span.count == 0) return true;
            open_.push_back({nullptr, static_cast<const PluginValueEntry*>(span.data), span.count, 0, &target, {}});
        }
        enclosing_.insert(span.data);
        return true;
    }

    static std::string MoreValues() {
        return "more than the core's bound of " + Grouped(kMaxValueNodes) + " values in one tree";
    }

    ValueReading& reading_;
    std::vector<OpenContainer> open_;
    std::unordered_set<const void*> enclosing_;  // the storage of the open containers
    std::string unreadable_;
};

}  // namespace

ValueReading ReadCoreValue(const PluginValue& record, BindingProperty& value) {
    ValueReading reading;
    Reader reader(reading);
    try {
        reader.Read(record, value);
    } catch (const std::bad_alloc&) {
        reading.problem = "a tree larger than the core's memory holds";
    }
    return reading;
}

}  // namespace Zarvo::DevCore
