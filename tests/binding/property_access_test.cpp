#include <stdexcept>

#include <gtest/gtest.h>

#include "binding/property.h"

namespace Zarvo {
namespace {

using Kind = BindingProperty::Kind;

TEST(PropertyAccess, WritingAnElementGrowsWithEmptyChildren) {
    BindingProperty root;
    root.Element(3).SetSigned(3);
    ASSERT_EQ(root.GetKind(), Kind::Collection);
    ASSERT_EQ(root.Size(), 4u);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(root.At(i).IsEmpty());
    EXPECT_EQ(root.At(3).GetSigned(0), 3);
    for (const BindingProperty& element : root.Elements()) {
        EXPECT_EQ(element.Context(), root.Context()) << "children borrow the root's context";
    }
}

TEST(PropertyAccess, GrowthKeepsChildrenAndTheirSubtrees) {
    BindingProperty root;
    root.Element(0).ChildForWrite("inner").Element(1).SetString("kept");
    for (size_t i = 1; i < 200; ++i) root.Element(i).SetUnsigned(i);
    EXPECT_EQ(root.At(0).Child("inner").At(1).GetString(), "kept");
    EXPECT_EQ(root.At(0).Context(), root.Context());
    EXPECT_EQ(root.At(199).GetUnsigned(0), 199u);
}

TEST(PropertyAccess, ReadsOfAbsentOrForeignNodesYieldTheSharedEmptyNode) {
    BindingProperty collection;
    collection.Element(0).SetBool(true);
    EXPECT_EQ(&collection.Child("x"), &BindingProperty::EmptyNode());
    EXPECT_EQ(collection.GetKind(), Kind::Collection);
    EXPECT_EQ(collection.Size(), 1u);
    EXPECT_EQ(&collection.At(1), &BindingProperty::EmptyNode());
    EXPECT_TRUE(collection.Members().empty());

    BindingProperty structure;
    structure.ChildForWrite("x");
    EXPECT_EQ(&structure.At(0), &BindingProperty::EmptyNode());
    EXPECT_TRUE(structure.Elements().empty());
    EXPECT_TRUE(BindingProperty::EmptyNode().IsEmpty());
}

TEST(PropertyAccess, ChildForWriteInsertsOnceAndKeepsTheStructure) {
    BindingProperty root;
    BindingProperty& first = root.ChildForWrite("k");
    first.SetSigned(1);
    EXPECT_EQ(&root.ChildForWrite(std::string("k")), &first);
    root.ChildForWrite("");
    EXPECT_EQ(root.Size(), 2u);
    EXPECT_TRUE(root.Child("").IsEmpty());
    root.MakeStructure();
    EXPECT_EQ(root.Child("k").GetSigned(0), 1) << "making a Structure of a Structure keeps it";
    root.MakeCollection();
    EXPECT_EQ(root.Size(), 0u);
}

TEST(PropertyAccess, ReserveAndElementRefuseMoreThanTheLargestCollection) {
    BindingProperty root;
    root.MakeCollection();
    root.Reserve(100);
    EXPECT_EQ(root.Size(), 0u);
    EXPECT_THROW(root.Reserve(BindingProperty::MaxCollectionSize + 1), std::length_error);
    EXPECT_THROW(root.Element(BindingProperty::MaxCollectionSize), std::length_error);
    EXPECT_THROW(root.Element(SIZE_MAX), std::length_error);
    EXPECT_EQ(root.GetKind(), Kind::Collection);
}

TEST(PropertyAccess, ReferencesHandedOutStayWhileTheCollectionDoesNotGrow) {
    BindingProperty root;
    root.MakeCollection();
    root.Reserve(10);
    BindingProperty& first = root.Element(0);
    for (size_t i = 1; i < 10; ++i) root.Element(i);
    first.SetString("still here");
    EXPECT_EQ(root.At(0).GetString(), "still here");
}

TEST(PropertyAccess, MembersAreWritableInPlace) {
    BindingProperty root;
    root.ChildForWrite("a").SetSigned(1);
    root.ChildForWrite("b").SetSigned(2);
    for (auto& [key, child] : root.Members()) child.SetString(key.View());
    EXPECT_EQ(root.Child("b").GetString(), "b");
}

}  // namespace
}  // namespace Zarvo
