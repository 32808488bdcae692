// A stand-in for the host's equipment manager: it records every call with its
// arguments and answers from a table, so a test can check exactly what a device asked
// of its host and in which order. Mail tests use it too.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/errors.h"
#include "automation/variant.h"

namespace eqd::test {

struct RecordedCall {
  std::string Method;
  // The arguments as they arrived, by-reference ones read through their reference.
  std::vector<Variant> Args;
  // The automation type of each argument as passed (VT_BYREF kept).
  std::vector<VarType> Types;
};

class RecordingEqManager : public DispatchObject {
 public:
  // An answer may change the arguments, as a host does with by-reference ones.
  using AnswerFn = std::function<Variant(std::vector<Variant>& args)>;

  static std::shared_ptr<RecordingEqManager> Create() { return std::make_shared<RecordingEqManager>(); }

  // Every call of `method` gives `result`.
  void Answer(const std::string& method, Variant result) {
    answers_[method] = [result](std::vector<Variant>&) { return result; };
  }
  void AnswerWith(const std::string& method, AnswerFn fn) { answers_[method] = std::move(fn); }
  // Every call of `method` raises an error with `message`.
  void Fail(const std::string& method, const std::string& message) {
    answers_[method] = [message](std::vector<Variant>&) -> Variant { throw EDriverError(message); };
  }
  // "GetAppProperty" for `name` writes `value` into the third argument and answers
  // true; names never set answer false and leave the argument alone.
  void SetProperty(const std::string& name, const std::string& value) { properties_[name] = value; }

  Variant Invoke(std::string_view name, std::vector<Variant>& args) override {
    RecordedCall call{std::string(name), {}, {}};
    for (const Variant& a : args) {
      call.Args.push_back(a.Deref());
      call.Types.push_back(a.Vt());
    }
    calls_.push_back(std::move(call));
    if (auto it = answers_.find(std::string(name)); it != answers_.end()) return it->second(args);
    if (name == "GetAppProperty" && args.size() == 3 && args[1].Deref().Vt() == VT_BSTR) {
      auto p = properties_.find(args[1].Deref().StrValue());
      if (p == properties_.end()) return Variant(false);
      args[2].Deref() = Variant(p->second);
      return Variant(true);
    }
    return Variant();
  }

  const std::vector<RecordedCall>& Calls() const { return calls_; }
  std::vector<std::string> Methods() const {
    std::vector<std::string> names;
    for (const RecordedCall& c : calls_) names.push_back(c.Method);
    return names;
  }
  void ClearCalls() { calls_.clear(); }

 private:
  std::vector<RecordedCall> calls_;
  std::map<std::string, AnswerFn, std::less<>> answers_;
  std::map<std::string, std::string, std::less<>> properties_;
};

}  // namespace eqd::test
