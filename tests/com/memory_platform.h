// TComPlatform over an in-memory registry that behaves like the real one where the server
// logic depends on it: key names ignore case, creating a key creates its parents, and a
// key that still has subkeys cannot be deleted. Every write and deletion is recorded.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "automation/ascii_case.h"
#include "com/com_platform.h"

namespace eqd::com::testing {

class TMemoryPlatform : public TComPlatform {
 public:
  struct TValue {
    TRegistryRoot Root;
    std::string Key, Name, Data;
    friend bool operator==(const TValue&, const TValue&) = default;
  };

  bool WriteStringValue(TRegistryRoot root, const std::string& key, const std::string& valueName,
                        const std::string& data) override {
    Log.push_back("set " + RootName(root) + "\\" + key + " [" + valueName + "]");
    if (FailWritesFrom >= 0 && WriteCount++ >= FailWritesFrom) return false;
    for (std::string k = Lower(key);; k = k.substr(0, k.rfind('\\'))) {
      Keys.insert({root, k});
      if (k.find('\\') == std::string::npos) break;
    }
    Values[{root, Lower(key), Lower(valueName)}] = TValue{root, key, valueName, data};
    return true;
  }

  bool DeleteKey(TRegistryRoot root, const std::string& key) override {
    Log.push_back("delete " + RootName(root) + "\\" + key);
    const std::string k = Lower(key);
    if (!Keys.count({root, k})) return false;
    for (const auto& [r, other] : Keys)
      if (r == root && other.size() > k.size() && other.compare(0, k.size() + 1, k + "\\") == 0)
        return false;
    Keys.erase({root, k});
    std::erase_if(Values, [&](const auto& v) { return std::get<0>(v.first) == root && std::get<1>(v.first) == k; });
    return true;
  }

  std::string ModuleLongPath() override { return LongPath; }
  std::string ShortPath(const std::string& path) override {
    return path == LongPath ? ShortForm : std::string();
  }
  void ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    Boxes.push_back({text, caption, flags});
  }

  // Keys every system has before anything is registered.
  TMemoryPlatform() : Keys(kStandardKeys) {}
  // Nothing of ours is left: only the standard keys, no values.
  bool Clean() const { return Keys == kStandardKeys && Values.empty(); }

  // Every value, sorted by root, key and name.
  std::vector<TValue> AllValues() const {
    std::vector<TValue> out;
    for (const auto& [k, v] : Values) out.push_back(v);
    return out;
  }

  static std::string RootName(TRegistryRoot root) { return root == rrClassesRoot ? "HKCR" : "HKCU"; }

  struct TBox {
    std::string Text, Caption;
    std::uint32_t Flags;
  };

  std::string LongPath = "C:\\Drivers\\vlm_dodezoz41.dll";
  std::string ShortForm;
  int FailWritesFrom = -1;  // the 0-based write from which every write fails; -1: none
  int WriteCount = 0;
  std::vector<std::string> Log;
  std::set<std::pair<TRegistryRoot, std::string>> Keys;
  std::map<std::tuple<TRegistryRoot, std::string, std::string>, TValue> Values;
  std::vector<TBox> Boxes;

  inline static const std::set<std::pair<TRegistryRoot, std::string>> kStandardKeys = {
      {rrClassesRoot, "clsid"}, {rrCurrentUser, "software"}, {rrCurrentUser, "software\\classes"},
      {rrCurrentUser, "software\\classes\\clsid"}};

 private:
  static std::string Lower(std::string_view s) { return AsciiLowerCase(s); }
};

}  // namespace eqd::com::testing
