#include "com/win32/placeholder_object.h"

#include "automation/errors.h"
#include "automation/variant_convert.h"

namespace eqd::com {

namespace {

class TPlaceholderObject : public TBaseObject {
 public:
  TPlaceholderObject() {
    // "Echo": OutData receives InData.
    AddPublicMethod("Echo", [](Variant& in, Variant& out, std::int32_t, std::string&) {
      out = in;
      return 0;
    });
    // "Grid": OutData receives a 7 x 10 array whose element (a, s) is the text "a,s".
    AddPublicMethod("Grid", [](Variant&, Variant& out, std::int32_t, std::string&) {
      SafeArray grid({ArrayBound{0, 7}, ArrayBound{0, 10}});
      for (std::int64_t a = 0; a < 7; ++a)
        for (std::int64_t s = 0; s < 10; ++s) grid.At({a, s}) = Variant(std::to_string(a) + "," + std::to_string(s));
      out = Variant(std::move(grid));
      return 0;
    });
    // "Fail": raises the text of InData(0) as an error.
    AddPublicMethod("Fail", [](Variant& in, Variant&, std::int32_t, std::string&) -> std::int32_t {
      throw EDriverError(VarToStr(in.ArrayValue() ? in.ArrayValue()->Elements().at(0) : in));
    });
    // "CallHost"(object, method, arguments...): calls the method of the object with the
    // arguments by reference and answers its result; the arguments come back changed.
    AddPrivateMethod("CallHost", [](SafeArray& params) {
      auto& p = params.Elements();
      if (p.size() < 2 || p[0].Vt() != VT_DISPATCH || !p[0].DispValue())
        throw EDriverError("CallHost(object, method, ...)");
      std::vector<Variant> args;
      for (std::size_t i = 2; i < p.size(); ++i) args.push_back(Variant::ByRef(p[i]));
      return p[0].DispValue()->Invoke(VarToStr(p[1]), args);
    });
  }
};

}  // namespace

std::unique_ptr<TBaseObject> CreatePlaceholderObject() { return std::make_unique<TPlaceholderObject>(); }

}  // namespace eqd::com
