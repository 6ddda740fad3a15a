#include <utility>

#include <gtest/gtest.h>

#include "binding/property.h"
#include "binding/property_context.h"

namespace Zarvo {
namespace {

using Kind = BindingProperty::Kind;

// {"list": [1, "text", blob{7,8}, enum 4, {"flag": true}], "name": "text"}
BindingProperty Sample() {
    BindingProperty root;
    BindingProperty& list = root.ChildForWrite("list");
    list.Element(0).SetSigned(1);
    list.Element(1).SetString("text");
    const uint8_t bytes[] = {7, 8};
    list.Element(2).SetBlob(bytes, 2);
    list.Element(3).SetEnum(4, nullptr);
    list.Element(4).ChildForWrite("flag").SetBool(true);
    root.ChildForWrite("name").SetString("text");
    return root;
}

void ExpectSample(const BindingProperty& root) {
    const BindingProperty& list = root.Child("list");
    ASSERT_EQ(list.Size(), 5u);
    EXPECT_EQ(list.At(0).GetSigned(0), 1);
    EXPECT_EQ(list.At(1).GetString(), "text");
    ASSERT_EQ(list.At(2).GetBlob().size(), 2u);
    EXPECT_EQ(list.At(2).GetBlob()[1], 8);
    EXPECT_EQ(list.At(3).EnumValue(), 4);
    EXPECT_TRUE(list.At(4).Child("flag").GetBool(false));
    EXPECT_EQ(root.Child("name").GetString(), "text");
}

uint32_t CountOf(const BindingProperty& root, std::string_view text) {
    InternedString* record = root.Context()->Strings().Find(text);
    return record ? record->refCount : 0;
}

TEST(PropertyCopy, CopyIntoAnotherContextReinternsEveryString) {
    BindingProperty source = Sample();
    BindingProperty copy(source);
    ExpectSample(copy);
    EXPECT_NE(copy.Context(), source.Context());
    EXPECT_EQ(copy.Child("list").At(4).Context(), copy.Context());
    EXPECT_EQ(CountOf(copy, "text"), 2u);
    EXPECT_EQ(CountOf(copy, "flag"), 1u);
    EXPECT_NE(copy.Child("name").GetString().data(), source.Child("name").GetString().data());

    source.Child("list");  // the two trees are independent
    source.ChildForWrite("list").Element(0).SetSigned(2);
    EXPECT_EQ(copy.Child("list").At(0).GetSigned(0), 1);
}

TEST(PropertyCopy, CopyWithinOneContextSharesRecords) {
    BindingProperty root = Sample();
    root.ChildForWrite("again") = root.Child("list");
    EXPECT_EQ(CountOf(root, "text"), 3u);
    EXPECT_EQ(CountOf(root, "flag"), 2u);
    EXPECT_EQ(root.Child("again").At(4).Context(), root.Context());
}

TEST(PropertyCopy, AssigningAnAncestorOrADescendantIsSafe) {
    BindingProperty root = Sample();
    root = root.Child("list").At(4);
    EXPECT_TRUE(root.Child("flag").GetBool(false));
    EXPECT_EQ(root.Size(), 1u);

    BindingProperty tree = Sample();
    tree.ChildForWrite("list").Element(0) = tree;
    ExpectSample(tree.Child("list").At(0));
    EXPECT_EQ(tree.Child("list").At(0).Child("list").At(0).GetSigned(0), 1);
}

TEST(PropertyMove, RootsSwapAndTheSourceIsCleared) {
    BindingProperty source = Sample();
    PropertyContext* context = source.Context();
    BindingProperty target;
    target.SetString("old");
    PropertyContext* targetContext = target.Context();
    target = std::move(source);
    ExpectSample(target);
    EXPECT_EQ(target.Context(), context) << "nothing copied";
    EXPECT_TRUE(source.IsEmpty());
    EXPECT_EQ(source.Context(), targetContext);
    EXPECT_EQ(targetContext->Strings().Count(), 0u);

    BindingProperty constructed(std::move(target));
    EXPECT_EQ(constructed.Context(), context);
    EXPECT_TRUE(target.IsEmpty());
}

TEST(PropertyMove, AChildIsCopiedThenCleared) {
    BindingProperty tree = Sample();
    BindingProperty& list = tree.ChildForWrite("list");
    BindingProperty root(std::move(list));
    EXPECT_EQ(root.Size(), 5u);
    EXPECT_NE(root.Context(), tree.Context());
    EXPECT_TRUE(tree.Child("list").IsEmpty());
    EXPECT_EQ(tree.Size(), 2u) << "the source stays in its structure, cleared";
    EXPECT_EQ(CountOf(tree, "flag"), 0u);

    BindingProperty other = Sample();
    tree.ChildForWrite("list") = std::move(other);
    ExpectSample(tree.Child("list"));
    EXPECT_TRUE(other.IsEmpty());
}

TEST(PropertyMove, MovesWithinOneTree) {
    BindingProperty root = Sample();
    root.ChildForWrite("name") = std::move(root.ChildForWrite("list").Element(1));
    EXPECT_TRUE(root.Child("list").At(1).IsEmpty());
    EXPECT_EQ(CountOf(root, "text"), 1u);

    root.ChildForWrite("copy") = std::move(root.ChildForWrite("list"));
    EXPECT_EQ(root.Child("copy").Size(), 5u);
    EXPECT_TRUE(root.Child("list").IsEmpty());

    root = std::move(root.ChildForWrite("copy").Element(4));
    EXPECT_TRUE(root.Child("flag").GetBool(false));
    EXPECT_EQ(root.Size(), 1u);

    BindingProperty tree = Sample();
    BindingProperty& inner = tree.ChildForWrite("list").Element(4).ChildForWrite("flag");
    inner = std::move(tree.ChildForWrite("list"));  // into its own subtree: the source clears it away
    EXPECT_TRUE(tree.Child("list").IsEmpty());
    EXPECT_EQ(tree.Child("name").GetString(), "text");
}

TEST(PropertyMove, SelfAssignmentKeepsTheValue) {
    BindingProperty root = Sample();
    BindingProperty& alias = root;
    root = alias;
    ExpectSample(root);
    root = std::move(alias);
    ExpectSample(root);
}

}  // namespace
}  // namespace Zarvo
