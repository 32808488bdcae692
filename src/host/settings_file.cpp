#include "host/settings_file.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "automation/errors.h"
#include "host/host_error.h"
#include "host/host_files.h"
#include "host/host_texts.h"
#include "host/json_variant.h"

namespace eqd {
namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameId(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

const THostSettingStruct& FindInTable(const std::vector<THostSettingStruct>& table, const std::string& id) {
  for (const auto& row : table)
    if (SameId(row.ID, id)) return row;
  throw EHostError(host_texts::kUnknownSetting + id);
}

std::string StrOf(const Variant& v) { return v.Deref().Vt() == VT_BSTR ? v.Deref().StrValue() : std::string(); }

// The parser's message without the text it quotes from the file ("...; last read:
// '<text>'", "... parsing '<number>'"), which may be part of a password.
std::string WithoutQuotedText(std::string message) {
  const auto quote = message.find('\'');
  if (quote == std::string::npos) return message;
  message.resize(quote);
  for (const std::string_view tail : {"; last read: ", " parsing "})
    if (message.ends_with(tail)) message.resize(message.size() - tail.size());
  return message;
}

}  // namespace

std::vector<TSettingValueStruct> LoadSettingsFile(const std::string& path) {
  const std::string text = ReadHostFile(path);
  Json doc;
  try {
    doc = ParseJson(text);
  } catch (const std::exception& e) {  // no JSON, or nested too deep
    throw EHostError(host_texts::kBadSettingsFile + path + ": " + WithoutQuotedText(e.what()));
  }
  if (!doc.is_object()) throw EHostError(host_texts::kBadSettingsFile + path);
  std::vector<TSettingValueStruct> values;
  for (const auto& [id, value] : doc.items()) {
    try {
      values.push_back({id, JsonToVariant(value)});
    } catch (const EConvertError&) {  // its message shows the value
      throw EConvertError(host_texts::kBadSettingValue + id + host_texts::kInFile + path);
    }
  }
  return values;
}

std::vector<THostSettingStruct> ReadSettingsTable(const Variant& outData, const TIsSecretSetting& isSecret) {
  const Variant& out = outData.Deref();
  const SafeArray* outer = out.IsArray() ? out.ArrayValue() : nullptr;
  if (outer == nullptr || outer->DimCount() != 1 || outer->ElementCount() == 0 ||
      !outer->Elements()[0].IsArray() || outer->Elements()[0].ArrayValue() == nullptr)
    throw EHostError(host_texts::kBadSettingValue + std::string("GetSettings"));
  const SafeArray& v = *outer->Elements()[0].ArrayValue();
  if (v.DimCount() != 2 || v.Bound(0).Count != 7) throw EHostError(host_texts::kBadSettingValue + std::string("GetSettings"));
  std::vector<THostSettingStruct> table;
  const std::int64_t a = v.LowBound(0);
  for (std::int64_t i = v.LowBound(1); i <= v.HighBound(1); ++i) {
    THostSettingStruct row;
    row.ID = StrOf(v.At({a, i}));
    row.Value = v.At({a + 1, i});
    row.TypeName = StrOf(v.At({a + 2, i}));
    row.Default = v.At({a + 3, i});
    row.ReadOnly = v.At({a + 4, i}).Deref().Vt() == VT_BOOL && v.At({a + 4, i}).Deref().BoolValue();
    row.Name = StrOf(v.At({a + 5, i}));
    row.Description = StrOf(v.At({a + 6, i}));
    row.Secret = isSecret && isSecret(row.ID);
    table.push_back(std::move(row));
  }
  return table;
}

Variant SettingTextToValue(const std::string& typeName, const std::string& text) {
  if (typeName == "Number") {
    std::int32_t n = 0;
    const bool plus = text.size() > 1 && text[0] == '+' && text[1] != '-';
    const char* first = text.data() + (plus ? 1 : 0);
    const char* last = text.data() + text.size();
    if (auto [p, ec] = std::from_chars(first, last, n); ec == std::errc() && p == last && first != last) return Variant(n);
    double d = 0;
    if (auto [p, ec] = std::from_chars(first, last, d, std::chars_format::fixed); ec == std::errc() && p == last && first != last)
      return Variant(d);
    throw EHostError(host_texts::kBadSettingValue + text);
  }
  if (typeName == "Boolean") {
    if (SameId(text, "true") || text == "1") return Variant(true);
    if (SameId(text, "false") || text == "0") return Variant(false);
    throw EHostError(host_texts::kBadSettingValue + text);
  }
  return Variant(text);
}

std::vector<TSettingValueStruct> ResolveSettings(const std::vector<THostSettingStruct>& table,
                                                 const std::vector<TSettingValueStruct>& fileValues,
                                                 const std::vector<std::pair<std::string, std::string>>& sets) {
  std::vector<TSettingValueStruct> resolved;
  for (const auto& entry : fileValues) resolved.push_back({FindInTable(table, entry.ID).ID, entry.Value});
  for (const auto& [id, text] : sets) {
    const THostSettingStruct& row = FindInTable(table, id);
    try {
      resolved.push_back({row.ID, SettingTextToValue(row.TypeName, text)});
    } catch (const EHostError&) {
      throw EHostError(host_texts::kBadSettingValue + row.ID + "=" + (row.Secret ? host_texts::kHiddenValue : text));
    }
  }
  return resolved;
}

Variant SetSettingsInData(const std::vector<TSettingValueStruct>& values) {
  SafeArray s({ArrayBound{0, 2}, ArrayBound{0, static_cast<std::uint32_t>(values.size())}});
  for (std::size_t j = 0; j < values.size(); ++j) {
    s.At({0, static_cast<std::int64_t>(j)}) = Variant(values[j].ID);
    s.At({1, static_cast<std::int64_t>(j)}) = values[j].Value;
  }
  return Variant::Array({Variant(std::move(s))});
}

}  // namespace eqd
