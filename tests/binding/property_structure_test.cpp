#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "binding/property.h"
#include "binding/property_context.h"

namespace Zarvo {
namespace {

std::vector<std::string> Keys(size_t count) {
    std::vector<std::string> keys;
    for (size_t i = 0; i < count; ++i) keys.push_back("key" + std::to_string(i * 7919 % 100003));
    return keys;
}

// Every key once, in byte order, each child holding its own key; every lookup finds it.
void ExpectMembers(const BindingProperty& root, std::vector<std::string> keys) {
    std::sort(keys.begin(), keys.end());
    ASSERT_EQ(root.Size(), keys.size());
    size_t i = 0;
    for (const auto& [key, child] : root.Members()) {
        ASSERT_LT(i, keys.size());
        EXPECT_EQ(key.View(), keys[i]);
        EXPECT_EQ(child.GetString(), keys[i]);
        ++i;
    }
    EXPECT_EQ(i, keys.size());
    for (const std::string& key : keys) EXPECT_EQ(root.Child(key).GetString(), key) << key;
}

// Enough keys for many chunks, in the orders that fill, split and prepend them.
TEST(PropertyStructure, ManyKeysInAnyOrderKeepByteOrderAndStayFindable) {
    const std::vector<std::string> keys = Keys(3000);
    std::vector<std::string> ascending = keys, descending = keys, shuffled = keys;
    std::sort(ascending.begin(), ascending.end());
    std::sort(descending.rbegin(), descending.rend());
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    for (const auto* order : {&ascending, &descending, &shuffled}) {
        BindingProperty root;
        for (const std::string& key : *order) root.ChildForWrite(key).SetString(key);
        for (const std::string& key : *order) EXPECT_EQ(root.ChildForWrite(key).GetString(), key) << "found, not added";
        ExpectMembers(root, keys);
        EXPECT_TRUE(root.Child("key").IsEmpty());
        EXPECT_TRUE(root.Child("kez").IsEmpty());
        EXPECT_TRUE(root.Child("").IsEmpty());

        BindingProperty copy(root);
        ExpectMembers(copy, keys);
        BindingProperty nested;
        nested.ChildForWrite("inner") = root;
        root.Clear();
        EXPECT_EQ(root.Context()->Strings().Count(), 0u) << "every key released";
        ExpectMembers(nested.Child("inner"), keys);
    }
}

TEST(PropertyStructure, ChildrenStayWhereTheyAreWhileOtherMembersArrive) {
    BindingProperty root;
    BindingProperty& middle = root.ChildForWrite("m");
    middle.SetSigned(1);
    std::vector<std::string> keys = Keys(500);
    for (const std::string& key : keys) root.ChildForWrite(key).ChildForWrite("k").SetString(key);
    root.ChildForWrite("a") = root.Child("m");
    EXPECT_EQ(&root.Child("m"), &middle);
    EXPECT_EQ(middle.GetSigned(0), 1);
    EXPECT_EQ(root.Child("a").GetSigned(0), 1);
    EXPECT_EQ(root.Child(keys[123]).Child("k").GetString(), keys[123]);
}

// Keys that share their first eight bytes, or differ only past them, are ordered by the rest of their text.
TEST(PropertyStructure, KeysAlikeInTheirFirstEightBytesAreOrderedByTheirWholeText) {
    const std::vector<std::string> keys = {
        "summonerName", "summonerLevel", "summoner", "summoner\x01", "summone", "summonerLevel\xFF",
        std::string("summoner\0a", 10), std::string("summ\0", 5), std::string("summ"), "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF",
        "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01", "a", "ab"};
    BindingProperty root;
    for (const std::string& key : keys) root.ChildForWrite(key).SetString(key);
    ExpectMembers(root, keys);
    EXPECT_TRUE(root.Child("summonerNam").IsEmpty());
    EXPECT_TRUE(root.Child(std::string("summoner\0", 9)).IsEmpty());
}

// Keys are guessed from the structure built before, whose records may have gone away since: released blocks are
// reused for other texts, and a guess must not reach them (AddressSanitizer builds catch a read of a freed record).
TEST(PropertyStructure, KeysGuessedFromEarlierStructuresAreTakenOnlyWhileTheirRecordsLive) {
    BindingProperty root;
    root.Element(0).ChildForWrite("first").SetSigned(1);
    root.Element(0).ChildForWrite("second").SetSigned(2);
    root.Element(0).Clear();  // both keys go away
    root.Element(1).ChildForWrite("third").SetSigned(3);
    root.Element(1).ChildForWrite("first").SetSigned(4);
    root.Element(2).ChildForWrite("third").SetSigned(5);
    root.Element(2).ChildForWrite("first").SetSigned(6);

    InternTable& strings = root.Context()->Strings();
    EXPECT_EQ(strings.Find("second"), nullptr);
    ASSERT_NE(strings.Find("third"), nullptr);
    EXPECT_EQ(strings.Find("third")->refCount, 2u);
    EXPECT_EQ(strings.Find("first")->refCount, 2u);
    EXPECT_EQ(root.At(2).Child("first").GetSigned(0), 6);
    EXPECT_EQ(root.At(1).Child("third").GetSigned(0), 3);
    root.Element(1).Clear();
    root.Element(2).Clear();
    EXPECT_EQ(strings.Count(), 0u);
}

// A node takes over one member's value without a copy (its texts stay the tree's own records) and the rest goes.
TEST(PropertyStructure, ReplacingANodeWithAMemberKeepsThatMemberAlone) {
    BindingProperty root;
    root.ChildForWrite("uri").SetString("/a");
    BindingProperty& data = root.ChildForWrite("data");
    data.ChildForWrite("name").SetString("kept text");
    data.ChildForWrite("list").Element(1).SetSigned(-2);
    const char* text = data.Child("name").GetString().data();
    PropertyContext* context = root.Context();

    root.ReplaceWithMember("data");
    EXPECT_EQ(root.Context(), context);
    EXPECT_EQ(root.Size(), 2u);
    EXPECT_EQ(root.Child("name").GetString().data(), text) << "taken over, not copied";
    EXPECT_EQ(root.Child("list").At(1).GetSigned(0), -2);
    EXPECT_TRUE(root.Child("uri").IsEmpty());
    EXPECT_EQ(context->Strings().Find("/a"), nullptr) << "the other members went";

    root.ChildForWrite("name").ReplaceWithMember("absent");
    EXPECT_TRUE(root.Child("name").IsEmpty()) << "a text has no members";
    root.ReplaceWithMember("absent");
    EXPECT_TRUE(root.IsEmpty());
    EXPECT_EQ(context->Strings().Count(), 0u);
}

}  // namespace
}  // namespace Zarvo
