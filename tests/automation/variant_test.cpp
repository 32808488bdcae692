#include "automation/variant.h"

#include <gtest/gtest.h>

#include "automation/errors.h"

namespace eqd {
namespace {

TEST(SafeArrayTest, IndexesEveryDimensionFromItsOwnLowBound) {
  SafeArray a({ArrayBound{1, 2}, ArrayBound{-1, 3}});
  ASSERT_EQ(a.ElementCount(), 6u);
  a.At({2, 1}) = Variant(7);
  // First dimension varies fastest: (2,1) is offset (2-1) + (1-(-1))*2 = 5.
  EXPECT_EQ(a.Elements()[5].IntValue(), 7);
  EXPECT_THROW(a.At({0, 0}), ERangeError);
  EXPECT_THROW(a.At({1, 2}), ERangeError);
  EXPECT_THROW(a.At({1}), ERangeError);
}

TEST(VariantTest, CopiesArraysDeeplyAndFollowsReferences) {
  Variant a = Variant::Array({Variant(1), Variant("x")});
  Variant b = a;
  b.ArrayValue()->Elements()[0] = Variant(2);
  EXPECT_EQ(a.ArrayValue()->Elements()[0].IntValue(), 1);

  Variant target(5);
  Variant ref = Variant::ByRef(target);
  EXPECT_EQ(ref.Vt(), VT_BYREF | VT_VARIANT);
  ref.Deref() = Variant("changed");
  EXPECT_EQ(target.StrValue(), "changed");
  EXPECT_EQ(Variant::ByRef(target, false).Vt(), VT_BYREF | VT_BSTR);
}

}  // namespace
}  // namespace eqd
