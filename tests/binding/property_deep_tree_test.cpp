#include <utility>

#include <gtest/gtest.h>

#include "binding/property.h"
#include "binding/property_context.h"

namespace Zarvo {
namespace {

constexpr size_t Depth = 1000000;

// Alternating Collection and Structure levels, a string at the bottom; the call stack could not hold
// one frame per level.
BindingProperty DeepTree() {
    BindingProperty root;
    BindingProperty* node = &root;
    for (size_t level = 0; level < Depth; ++level) {
        node = level % 2 ? &node->ChildForWrite("k") : &node->Element(0);
    }
    node->SetString("bottom");
    return root;
}

size_t DepthOf(const BindingProperty& root, std::string_view* bottom) {
    size_t depth = 0;
    const BindingProperty* node = &root;
    while (node->Size() == 1 && node->GetKind() != BindingProperty::Kind::String) {
        node = node->GetKind() == BindingProperty::Kind::Collection ? &node->At(0) : &node->Members().begin()->second;
        ++depth;
    }
    *bottom = node->GetString();
    return depth;
}

TEST(PropertyDeepTree, CopyClearAndDestroyAMillionLevels) {
    BindingProperty tree = DeepTree();
    {
        BindingProperty copy(tree);
        std::string_view bottom;
        EXPECT_EQ(DepthOf(copy, &bottom), Depth);
        EXPECT_EQ(bottom, "bottom");
        EXPECT_NE(copy.Context(), tree.Context());
    }
    BindingProperty& child = tree.Element(0);
    BindingProperty moved(std::move(child));  // a child: deep copy, then the source is cleared
    std::string_view bottom;
    EXPECT_EQ(DepthOf(moved, &bottom), Depth - 1);
    EXPECT_TRUE(tree.At(0).IsEmpty());

    moved.Clear();
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_EQ(moved.Context()->Strings().Count(), 0u) << "every key and string released";
}

TEST(PropertyDeepTree, AssignOverADeepTreeWithinItsOwnContext) {
    BindingProperty tree = DeepTree();
    tree = tree.At(0).Child("k").At(0);
    std::string_view bottom;
    EXPECT_EQ(DepthOf(tree, &bottom), Depth - 3);
    tree.SetBool(true);
    EXPECT_EQ(tree.Context()->Strings().Count(), 0u);
}

}  // namespace
}  // namespace Zarvo
