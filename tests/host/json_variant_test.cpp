#include "host/json_variant.h"

#include <gtest/gtest.h>

#include "automation/errors.h"

namespace eqd {
namespace {

class NoCalls : public DispatchObject {
 public:
  Variant Invoke(std::string_view, std::vector<Variant>&) override { return {}; }
};

TEST(JsonVariantTest, EachJsonFormMapsToItsTypeAndBack) {
  struct Case {
    const char* json;
    std::uint16_t vt;
  } cases[] = {
      {R"("Привет")", VT_BSTR},
      {"42", VT_I4},
      {"-2147483648", VT_I4},
      {"2.5", VT_R8},
      {"true", VT_BOOL},
      {"null", VT_EMPTY},
      {R"({"null":true})", VT_NULL},
      {R"([1,"a",[false,null]])", VT_ARRAY | VT_VARIANT},
      {R"([])", VT_ARRAY | VT_VARIANT},
      {R"({"array2":[[1,2,3],["x",{"null":true},2.5]],"lbound":[0,0]})", VT_ARRAY | VT_VARIANT},
      {R"({"array2":[[1],[2]],"lbound":[-1,5]})", VT_ARRAY | VT_VARIANT},
  };
  for (const Case& c : cases) {
    const Json in = Json::parse(c.json);
    const Variant v = JsonToVariant(in);
    EXPECT_EQ(v.Vt(), c.vt) << c.json;
    EXPECT_EQ(VariantToJson(v), in) << c.json;
  }
}

TEST(JsonVariantTest, Array2RowsAreTheFirstIndex) {
  const Variant v = JsonToVariant(Json::parse(R"({"array2":[["a","b","c"],[1,2,3]],"lbound":[0,1]})"));
  const SafeArray& a = *v.ArrayValue();
  ASSERT_EQ(a.DimCount(), 2u);
  EXPECT_EQ(a.LowBound(0), 0);
  EXPECT_EQ(a.HighBound(0), 1);
  EXPECT_EQ(a.LowBound(1), 1);
  EXPECT_EQ(a.HighBound(1), 3);
  EXPECT_EQ(a.At({0, 3}).StrValue(), "c");
  EXPECT_EQ(a.At({1, 1}).IntValue(), 1);
  // Without lbound both dimensions start at 0, and the printed form names them.
  EXPECT_EQ(VariantToJson(JsonToVariant(Json::parse(R"({"array2":[[7]]})"))),
            Json::parse(R"({"array2":[[7]],"lbound":[0,0]})"));
}

TEST(JsonVariantTest, IntegersBeyondThirtyTwoBitsStayNumbers) {
  EXPECT_EQ(JsonToVariant(Json::parse("2147483648")).Vt(), VT_R8);
  EXPECT_EQ(JsonToVariant(Json::parse("-2147483649")).DoubleValue(), -2147483649.0);
  EXPECT_EQ(JsonToVariant(Json::parse("18446744073709551615")).Vt(), VT_R8);
}

TEST(JsonVariantTest, RefusesJsonThatIsNoValue) {
  for (const char* json : {R"({"x":1})", R"({"null":false})", R"({"array2":[[1],[1,2]]})", R"({"array2":[1]})",
                           R"({"array2":[[1]],"lbound":[0]})", R"({"array2":[[1]],"lbound":[0,0.5]})",
                           R"({"array2":[[1]],"extra":1})", R"({"manager":true})", R"([1,{"x":1}])"}) {
    EXPECT_THROW(JsonToVariant(Json::parse(json)), EConvertError) << json;
  }
}

TEST(JsonVariantTest, TheManagerObjectHasItsOwnForm) {
  auto manager = std::make_shared<NoCalls>();
  const Variant v = JsonToVariant(Json::parse(R"([{"manager":true}])"), manager);
  EXPECT_EQ(v.ArrayValue()->Elements()[0].DispValue(), manager);
  EXPECT_EQ(VariantToJson(v, manager), Json::parse(R"([{"manager":true}])"));
  // Another object is not the manager.
  EXPECT_EQ(VariantToJson(Variant(DispatchPtr(std::make_shared<NoCalls>())), manager)["vt"], VT_DISPATCH);
}

TEST(JsonVariantTest, OtherValuesPrintTheirTypeCodeAndText) {
  EXPECT_EQ(VariantToJson(Variant::I2(-5)), Json::parse(R"({"vt":2,"text":"-5"})"));
  EXPECT_EQ(VariantToJson(Variant::EmptyArray()), Json::parse(R"({"vt":8204,"text":"EMPTY"})"));
  SafeArray fromOne({ArrayBound{1, 1}});
  fromOne.At({1}) = Variant("a");
  EXPECT_EQ(VariantToJson(Variant(fromOne))["vt"], VT_ARRAY | VT_VARIANT);
  // By-reference values print as what they refer to.
  Variant target(std::int32_t{7});
  EXPECT_EQ(VariantToJson(Variant::ByRef(target)), Json(7));
}

}  // namespace
}  // namespace eqd
