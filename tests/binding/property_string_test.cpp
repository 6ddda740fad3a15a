#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "binding/property.h"
#include "binding/property_context.h"
#include "binding/static_type.h"

namespace Zarvo {
namespace {

uint32_t CountOf(const BindingProperty& root, std::string_view text) {
    InternedString* record = root.Context()->Strings().Find(text);
    return record ? record->refCount : 0;
}

TEST(PropertyString, EmptyTextSharesTheStaticRecord) {
    BindingProperty a;
    BindingProperty b;
    a.SetString("");
    b.SetString(static_cast<const char*>(nullptr));
    EXPECT_EQ(a.GetKind(), BindingProperty::Kind::String);
    EXPECT_EQ(a.Size(), 0u);
    EXPECT_EQ(a.GetString("x").data(), b.GetString("y").data());
    EXPECT_EQ(a.Context(), nullptr) << "an empty string needs no storage";
    InternedString* shared = InternTable::EmptyRecord();
    a.Clear();
    b.SetSigned(1);
    EXPECT_EQ(shared->refCount, 0u);
    EXPECT_EQ(shared->Text(), "");
}

TEST(PropertyString, EqualTextsShareOneCountedRecord) {
    BindingProperty root;
    root.Element(0).SetString("same");
    root.Element(1).SetString(std::string("same"));
    EXPECT_EQ(root.At(0).GetString().data(), root.At(1).GetString().data());
    EXPECT_EQ(CountOf(root, "same"), 2u);
    EXPECT_EQ(root.Context()->Strings().Count(), 1u);

    root.Element(0).Clear();
    EXPECT_EQ(CountOf(root, "same"), 1u);
    root.Element(1).SetString("other");
    EXPECT_EQ(root.Context()->Strings().Find("same"), nullptr) << "the last release removes the record";
    root.Clear();
    EXPECT_EQ(root.Context()->Strings().Count(), 0u);
}

TEST(PropertyString, KeysAreInternedWithValues) {
    BindingProperty root;
    root.ChildForWrite("name").SetString("name");
    root.Element(0);  // turning the node into a Collection releases the key and the value
    EXPECT_EQ(root.Context()->Strings().Count(), 0u);
    for (int i = 0; i < 3; ++i) root.Element(i).ChildForWrite("id").SetSigned(i);
    EXPECT_EQ(CountOf(root, "id"), 3u);
}

TEST(PropertyString, TextMayComeFromTheValueItReplaces) {
    BindingProperty root;
    root.SetString("a text long enough to live on the heap");
    root.SetString(root.GetString().substr(2));
    EXPECT_EQ(root.GetString(), "text long enough to live on the heap");

    root.Element(0).SetString("key");
    root.ChildForWrite(root.At(0).GetString()).SetBool(true);
    EXPECT_TRUE(root.Child("key").GetBool(false));
}

TEST(PropertyString, InternTableKeepsEveryRecordFindableThroughGrowthAndRemoval) {
    BindingProperty root;
    std::vector<std::string> texts;
    for (int i = 0; i < 500; ++i) texts.push_back("t" + std::to_string(i * 7919));
    for (size_t i = 0; i < texts.size(); ++i) root.Element(i).SetString(texts[i]);
    for (size_t i = 0; i < texts.size(); i += 2) root.Element(i).Clear();
    InternTable& strings = root.Context()->Strings();
    EXPECT_EQ(strings.Count(), texts.size() / 2);
    for (size_t i = 0; i < texts.size(); ++i) {
        InternedString* record = strings.Find(texts[i]);
        if (i % 2) {
            ASSERT_NE(record, nullptr) << texts[i];
            EXPECT_EQ(record->Hash(), Fnv1a(texts[i]));
        } else {
            EXPECT_EQ(record, nullptr) << texts[i];
        }
    }
}

TEST(PropertyString, ATextPassedAgainFromTheSameBufferIsCheckedByContent) {
    BindingProperty root;
    char buffer[] = "alpha";
    root.Element(0).SetString(std::string_view(buffer));
    buffer[0] = 'A';
    root.Element(1).SetString(std::string_view(buffer));
    EXPECT_EQ(root.At(0).GetString(), "alpha");
    EXPECT_EQ(root.At(1).GetString(), "Alpha");

    root.Element(1).Clear();  // frees the record the buffer's address last found
    root.Element(2).SetString("other");
    root.Element(3).SetString(std::string_view(buffer));
    EXPECT_EQ(root.At(3).GetString(), "Alpha");
    EXPECT_EQ(CountOf(root, "Alpha"), 1u);
    EXPECT_EQ(CountOf(root, "alpha"), 1u);
}

// A record keeps its text in its own block: short texts (whose first eight bytes are read as one number), texts
// around the largest pooled block, and texts that need a block of their own. Equal values share one record below
// the long-text size; from it on each value has its own, while keys of any length are shared.
TEST(PropertyString, TextsOfAnyLengthAreKeptWhole) {
    constexpr size_t longText = InternTable::LongTextSize;
    std::vector<size_t> lengths;
    for (size_t length = 1; length <= 24; ++length) lengths.push_back(length);
    for (size_t length : {longText - 1, longText, longText + 1}) lengths.push_back(length);
    for (size_t length = 2000; length <= 2060; length += 3) lengths.push_back(length);
    lengths.push_back(100000);
    BindingProperty root;
    BindingProperty& list = root.ChildForWrite("list");
    BindingProperty& keys = root.ChildForWrite("keys");
    for (size_t i = 0; i < lengths.size(); ++i) {
        std::string text(lengths[i], static_cast<char>('a' + i % 26));
        text.back() = '!';
        list.Element(2 * i).SetString(text);
        list.Element(2 * i + 1).SetString(std::string(text));
        keys.ChildForWrite(text).SetUnsigned(i);
        keys.ChildForWrite(std::string(text)).SetUnsigned(i);
    }
    for (size_t i = 0; i < lengths.size(); ++i) {
        std::string text(lengths[i], static_cast<char>('a' + i % 26));
        text.back() = '!';
        const bool shared = lengths[i] < longText;
        EXPECT_EQ(list.At(2 * i).GetString(), text) << lengths[i];
        EXPECT_EQ(list.At(2 * i + 1).GetString(), text) << lengths[i];
        EXPECT_EQ(std::string(list.At(2 * i).GetString().data()), text) << "NUL-terminated";
        EXPECT_EQ(list.At(2 * i).GetString().data() == list.At(2 * i + 1).GetString().data(), shared) << lengths[i];
        EXPECT_EQ(keys.Size(), lengths.size()) << "one member per key";
        EXPECT_EQ(keys.Child(text).GetUnsigned(99), i);
        EXPECT_EQ(CountOf(root, text), shared ? 3u : 1u) << lengths[i];
    }
    // Copies within the tree share a value's own record; a copy into another tree makes its own.
    BindingProperty copy = list;
    list.Element(0) = list.At(2 * (lengths.size() - 1));
    EXPECT_EQ(list.At(0).GetString().data(), list.At(2 * (lengths.size() - 1)).GetString().data());
    EXPECT_EQ(copy.At(2 * (lengths.size() - 1)).GetString(), list.At(0).GetString());
    root.Clear();
    EXPECT_EQ(root.Context()->Strings().Count(), 0u);
}

TEST(PropertyString, RecordsHoldTheFnv1aHashOfTheirText) {
    BindingProperty root;
    root.Element(0).SetString("a");
    root.Element(1).SetString("foobar");
    EXPECT_EQ(InternTable::EmptyRecord()->Hash(), 0x811C9DC5u);
    EXPECT_EQ(root.Context()->Strings().Find("a")->Hash(), 0xE40C292Cu);
    EXPECT_EQ(root.Context()->Strings().Find("foobar")->Hash(), 0xBF9CF968u);
}

TEST(PropertyString, StructureKeysIterateInUnsignedByteOrder) {
    BindingProperty root;
    for (const char* key : {"b", "a", "B", "\xC3\xA9", "a\x01", "\x7F", "a\xFF", "a\x7F"}) {
        root.ChildForWrite(key).SetString(key);
    }
    std::vector<std::string> order;
    for (const auto& [key, child] : root.Members()) {
        order.emplace_back(key.View());
        EXPECT_EQ(child.GetString(), key.View());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"B", "a", "a\x01", "a\x7F", "a\xFF", "b", "\x7F", "\xC3\xA9"}));
    EXPECT_TRUE(root.Child("A").IsEmpty()) << "keys are case-sensitive";
}

}  // namespace
}  // namespace Zarvo
