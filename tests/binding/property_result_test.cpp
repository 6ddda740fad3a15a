#include <string>

#include <gtest/gtest.h>

#include "binding/property.h"

namespace Zarvo {
namespace {

TEST(PropertyResult, ANewResultIsAnOkEmptyValue) {
    BindingResult result;
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.value.IsEmpty());
    EXPECT_EQ(result.ErrorMessage(), "");

    BindingProperty value;
    value.SetString("v");
    BindingResult copied(value);
    EXPECT_TRUE(copied.ok);
    EXPECT_EQ(copied.value.GetString(), "v");
    EXPECT_NE(copied.value.Context(), value.Context());
}

TEST(PropertyResult, SetErrorReplacesTheValueWithTheErrorStructure) {
    BindingResult result;
    result.value.ChildForWrite("data").Element(2).SetSigned(1);
    result.SetError("m");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.value.GetKind(), BindingProperty::Kind::Structure);
    ASSERT_EQ(result.value.Size(), 1u);
    EXPECT_EQ(result.value.Child("error").GetString(), "m");
    EXPECT_EQ(result.ErrorMessage(), "m");
}

TEST(PropertyResult, ErrorMessageReadsOnlyAStringErrorOfAFailedResult) {
    BindingResult result;
    result.value.ChildForWrite("error").SetString("ignored while ok");
    EXPECT_EQ(result.ErrorMessage(), "");
    result.ok = false;
    EXPECT_EQ(result.ErrorMessage(), "ignored while ok");
    result.value.ChildForWrite("error").SetSigned(3);
    EXPECT_EQ(result.ErrorMessage(), "");
}

TEST(PropertyResult, TheMessageMayComeFromTheResultItself) {
    BindingResult result;
    result.SetError("first error, long enough to be kept on the heap");
    result.SetError(result.ErrorMessage());
    EXPECT_EQ(result.ErrorMessage(), "first error, long enough to be kept on the heap");
}

}  // namespace
}  // namespace Zarvo
