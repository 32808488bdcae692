#include "automation/host_call.h"

#include <gtest/gtest.h>

#include <map>

namespace eqd {
namespace {

// Arguments as a host passes them, and what each face is handed back.
class HostCallTest : public testing::Test {
 protected:
  HResult Call(std::int32_t dispId, const std::vector<Variant>& args) {
    written_.clear();
    return CallAsHost(obj_, dispId, args, result_,
                      [&](std::size_t i, const Variant& element) { written_.emplace(i, element); });
  }

  TBaseObject obj_;
  Variant result_;
  std::map<std::size_t, Variant> written_;
};

TEST_F(HostCallTest, TheMethodSeesValuesBehindReferencesWithI2WidenedAndTheHostGetsTheArrayBack) {
  std::vector<Variant> seen;
  obj_.AddPrivateMethod("Init", [&](SafeArray& params) {
    seen = params.Elements();
    params.Elements()[1] = Variant("changed");
    return Variant(true);
  });
  Variant target("by reference");
  const std::vector<Variant> args = {Variant::I2(-7), Variant::ByRef(target), Variant::I2(3)};
  ASSERT_EQ(Call(0, args), hrOk);

  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].Vt(), VT_I4);
  EXPECT_EQ(seen[0].IntValue(), -7);
  EXPECT_EQ(seen[1].Vt(), VT_BSTR);
  EXPECT_EQ(seen[1].StrValue(), "by reference");
  EXPECT_EQ(seen[2].Vt(), VT_I4);
  EXPECT_TRUE(result_.BoolValue());
  // Every element goes back, the ones the method left alone as it saw them.
  ASSERT_EQ(written_.size(), 3u);
  EXPECT_EQ(written_[1].StrValue(), "changed");
  EXPECT_EQ(written_[0].Vt(), VT_I4);
  EXPECT_EQ(target.StrValue(), "by reference");  // writing back is the face's business
}

TEST_F(HostCallTest, NothingGoesBackUnlessTheCallSucceeds) {
  obj_.AddPublicMethod("SendMail", [](Variant&, Variant& out, std::int32_t, std::string&) {
    out = Variant("out");
    return 0;
  });
  obj_.AddPrivateMethod("Fails", [](SafeArray& params) -> Variant {
    params.Elements()[0] = Variant("changed");
    throw std::runtime_error("refused");
  });
  // A TimeOut that is not an integer: the call is refused.
  EXPECT_EQ(Call(0, {Variant(), Variant(), Variant("soon"), Variant()}), hrInvalidArg);
  EXPECT_TRUE(written_.empty());
  EXPECT_EQ(Call(5, {Variant()}), hrFail);  // no such method
  EXPECT_TRUE(written_.empty());
  EXPECT_THROW(Call(1, {Variant(1)}), std::runtime_error);
  EXPECT_TRUE(written_.empty());

  ASSERT_EQ(Call(0, {Variant(), Variant(), Variant(30), Variant()}), hrOk);
  EXPECT_EQ(written_[1].StrValue(), "out");
}

TEST_F(HostCallTest, AnArrayTheMethodShortenedHandsBackOnlyWhatItHas) {
  obj_.AddPrivateMethod("Open", [](SafeArray& params) {
    params = SafeArray({ArrayBound{0, 1}});
    params.Elements()[0] = Variant("only");
    return Variant();
  });
  ASSERT_EQ(Call(0, {Variant(1), Variant(2), Variant(3)}), hrOk);
  ASSERT_EQ(written_.size(), 1u);
  EXPECT_EQ(written_[0].StrValue(), "only");
}

}  // namespace
}  // namespace eqd
