#include "host/call_lines.h"

#include <istream>
#include <ostream>

#include "automation/ascii_case.h"
#include "host/host_error.h"
#include "host/host_texts.h"

namespace eqd {
namespace {

bool IsPrivateName(const std::string& name) {
  return AsciiSameText(name, "Init") || AsciiSameText(name, "Open") || AsciiSameText(name, "Close");
}

}  // namespace

Json RunCallLine(const Json& call, DispatchObject& driver, const DispatchPtr& manager) {
  if (!call.is_object() || !call.contains("method") || !call["method"].is_string())
    throw EHostError(host_texts::kNoMethod);
  const std::string method = call["method"].get<std::string>();
  const bool isPrivate = call.contains("params") || (!call.contains("in") && !call.contains("timeout") && IsPrivateName(method));

  std::vector<Variant> args;
  if (isPrivate) {
    if (call.contains("params")) {
      if (!call["params"].is_array()) throw EHostError(host_texts::kBadParams);
      for (const Json& p : call["params"]) args.push_back(JsonToVariant(p, manager));
    }
  } else {
    args.push_back(call.contains("in") ? JsonToVariant(call["in"], manager) : Variant());
    args.emplace_back();
    args.push_back(call.contains("timeout") ? JsonToVariant(call["timeout"], manager) : Variant(std::int32_t{0}));
  }

  Json answer{{"method", method}};
  try {
    const Variant result = driver.Invoke(method, args);
    answer["result"] = VariantToJson(result, manager);
    if (isPrivate) {
      Json params = Json::array();
      for (const Variant& p : args) params.push_back(VariantToJson(p, manager));
      answer["params"] = std::move(params);
    } else {
      answer["out"] = VariantToJson(args[1], manager);
    }
  } catch (const std::exception& e) {
    answer = Json{{"method", method}, {"exception", e.what()}};
  }
  return answer;
}

bool RunCallLines(std::istream& in, std::ostream& out, DispatchObject& driver, const DispatchPtr& manager) {
  bool allCalls = true;
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    Json answer;
    try {
      answer = RunCallLine(ParseJson(line), driver, manager);
    } catch (const std::exception& e) {
      // A line that does not parse, or a value with no automation form: no call was made.
      answer = Json{{"line", number}, {"error", host_texts::kBadCallLine + std::string(e.what())}};
      allCalls = false;
    }
    out << answer.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
  }
  return allCalls;
}

}  // namespace eqd
