#include "host/json_variant.h"

#include <cmath>
#include <limits>
#include <optional>

#include "automation/errors.h"
#include "host/host_texts.h"
#include "automation/value_text.h"

namespace eqd {
namespace {

Variant JsonToArray2(const Json& value, const DispatchPtr& manager) {
  const Json& rows = value.at("array2");
  if (!rows.is_array()) throw EConvertError(host_texts::kBadArray2);
  std::size_t columns = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].is_array() || (i > 0 && rows[i].size() != columns)) throw EConvertError(host_texts::kBadArray2);
    columns = rows[i].size();
  }
  std::int32_t low[2] = {0, 0};
  if (value.contains("lbound")) {
    const Json& lb = value["lbound"];
    if (!lb.is_array() || lb.size() != 2) throw EConvertError(host_texts::kBadLbound);
    for (int d = 0; d < 2; ++d) {
      if (!lb[d].is_number_integer() || lb[d].get<std::int64_t>() < std::numeric_limits<std::int32_t>::min() ||
          lb[d].get<std::int64_t>() > std::numeric_limits<std::int32_t>::max())
        throw EConvertError(host_texts::kBadLbound);
      low[d] = lb[d].get<std::int32_t>();
    }
  }
  SafeArray a({ArrayBound{low[0], static_cast<std::uint32_t>(rows.size())},
               ArrayBound{low[1], static_cast<std::uint32_t>(columns)}});
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = 0; j < columns; ++j)
      a.At({low[0] + static_cast<std::int64_t>(i), low[1] + static_cast<std::int64_t>(j)}) =
          JsonToVariant(rows[i][j], manager);
  return Variant(std::move(a));
}

bool IsTrueFlag(const Json& object, const char* key) {
  return object.size() == 1 && object.contains(key) && object[key] == true;
}

// Only zero-based one-dimensional and two-dimensional variant arrays have a plain JSON
// form; anything else keeps its type code and its trace text.
std::optional<Json> ArrayToJson(const Variant& value, const DispatchPtr& manager) {
  const SafeArray* a = value.ArrayValue();
  if (a == nullptr || value.BaseType() != VT_VARIANT) return std::nullopt;
  if (a->DimCount() == 1 && a->LowBound(0) == 0) {
    Json out = Json::array();
    for (const Variant& item : a->Elements()) out.push_back(VariantToJson(item, manager));
    return out;
  }
  if (a->DimCount() == 2 && (a->Bound(0).Count != 0 || a->Bound(1).Count == 0)) {
    Json rows = Json::array();
    for (std::int64_t i = a->LowBound(0); i <= a->HighBound(0); ++i) {
      Json row = Json::array();
      for (std::int64_t j = a->LowBound(1); j <= a->HighBound(1); ++j) row.push_back(VariantToJson(a->At({i, j}), manager));
      rows.push_back(std::move(row));
    }
    return Json{{"array2", std::move(rows)}, {"lbound", {a->LowBound(0), a->LowBound(1)}}};
  }
  return std::nullopt;
}

}  // namespace

Json ParseJson(const std::string& text) {
  return Json::parse(text, [](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        depth >= kMaxJsonDepth)
      throw EConvertError(host_texts::kTooDeep + std::to_string(kMaxJsonDepth));
    return true;
  });
}

Variant JsonToVariant(const Json& value, const DispatchPtr& manager) {
  switch (value.type()) {
    case Json::value_t::null:
      return Variant();
    case Json::value_t::boolean:
      return Variant(value.get<bool>());
    case Json::value_t::string:
      return Variant(value.get<std::string>());
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: {
      // An integer that does not fit the 32-bit type is still a number: it goes as a double.
      if (value.is_number_unsigned() && value.get<std::uint64_t>() > std::uint64_t{std::numeric_limits<std::int32_t>::max()})
        return Variant(value.get<double>());
      const std::int64_t n = value.get<std::int64_t>();
      if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<double>(n));
      return Variant(static_cast<std::int32_t>(n));
    }
    case Json::value_t::number_float:
      return Variant(value.get<double>());
    case Json::value_t::array: {
      std::vector<Variant> items;
      items.reserve(value.size());
      for (const Json& item : value) items.push_back(JsonToVariant(item, manager));
      return Variant::Array(std::move(items));
    }
    case Json::value_t::object:
      if (IsTrueFlag(value, "null")) return Variant::Null();
      if (IsTrueFlag(value, "manager")) {
        if (!manager) throw EConvertError(host_texts::kNoManager);
        return Variant(manager);
      }
      if (value.contains("array2") && value.size() <= 2 && (value.size() == 1 || value.contains("lbound")))
        return JsonToArray2(value, manager);
      throw EConvertError(std::string(host_texts::kBadJsonObject) + ": " + value.dump());
    default:
      throw EConvertError(std::string(host_texts::kBadJsonObject) + ": " + value.dump());
  }
}

Json VariantToJson(const Variant& byRef, const DispatchPtr& manager) {
  const Variant& value = byRef.Deref();
  if (value.IsArray()) {
    if (auto array = ArrayToJson(value, manager)) return *std::move(array);
  } else {
    switch (value.Vt()) {
      case VT_EMPTY:
        return nullptr;
      case VT_NULL:
        return Json{{"null", true}};
      case VT_BSTR:
        return value.StrValue();
      case VT_I4:
        return static_cast<std::int32_t>(value.IntValue());
      case VT_BOOL:
        return value.BoolValue();
      case VT_R8:
        if (std::isfinite(value.DoubleValue())) return value.DoubleValue();
        break;
      case VT_DISPATCH:
        if (manager && value.DispValue() == manager) return Json{{"manager", true}};
        break;
      default:
        break;
    }
  }
  return Json{{"vt", static_cast<int>(value.Vt())}, {"text", ValueToText(value)}};
}

}  // namespace eqd
