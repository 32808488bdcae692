#include "host/call_lines.h"

#include <gtest/gtest.h>

#include <sstream>

#include "automation/errors.h"

namespace eqd {
namespace {

// Records each call and behaves like a driver object seen through its dispatcher:
// "Open" writes a description into its second argument, "Echo" copies InData into
// OutData, "Boom" raises.
class RecordingDriver : public DispatchObject {
 public:
  Variant Invoke(std::string_view name, std::vector<Variant>& args) override {
    names.emplace_back(name);
    seen.push_back(args);
    if (name == "Boom") throw EDriverError("Менеджер оборудования недоступен");
    if (name == "Open" && args.size() > 1) args[1] = Variant("Нет ошибок");
    if (name == "Echo") args[1] = args[0];
    return Variant(true);
  }
  std::vector<std::string> names;
  std::vector<std::vector<Variant>> seen;
};

class CallLinesTest : public ::testing::Test {
 protected:
  std::string Run(const std::string& lines, bool expectAllCalls = true) {
    std::istringstream in(lines);
    std::ostringstream out;
    EXPECT_EQ(RunCallLines(in, out, driver, manager), expectAllCalls);
    return out.str();
  }
  RecordingDriver driver;
  DispatchPtr manager = std::make_shared<RecordingDriver>();
};

TEST_F(CallLinesTest, PublicCallsPassInDataOutDataAndTimeOut) {
  EXPECT_EQ(Run(R"({"method": "Echo", "in": ["a@example.com", 5]})"),
            R"({"method":"Echo","result":true,"out":["a@example.com",5]})"
            "\n");
  ASSERT_EQ(driver.seen.size(), 1u);
  const auto& args = driver.seen[0];
  ASSERT_EQ(args.size(), 3u);
  EXPECT_TRUE(args[1].IsEmpty());
  EXPECT_TRUE(SameValue(args[2], Variant(0)));  // TimeOut defaults to 0
  // A TimeOut of another type reaches the driver as it is, so its refusal can be tested.
  Run(R"({"method": "Echo", "timeout": 30.0})");
  EXPECT_EQ(driver.seen[1][2].Vt(), VT_R8);
  EXPECT_TRUE(driver.seen[1][0].IsEmpty());
}

TEST_F(CallLinesTest, PrivateCallsPrintTheirParametersAfterTheCall) {
  EXPECT_EQ(Run(R"({"method": "Open", "params": ["DEV1", null]})"),
            R"({"method":"Open","result":true,"params":["DEV1","Нет ошибок"]})"
            "\n");
  Run(R"({"method": "Init", "params": [{"manager": true}, null]})");
  EXPECT_EQ(driver.seen[1][0].DispValue(), manager);
  // Close needs no arguments at all.
  Run(R"({"method": "close"})");
  EXPECT_TRUE(driver.seen[2].empty());
}

TEST_F(CallLinesTest, ExceptionsAndBadLinesAreReportedAndTheRunGoesOn) {
  const std::string out = Run(
      "{\"method\": \"Boom\", \"params\": []}\n"
      "\n"
      "not json\n"
      "{\"in\": []}\n"
      "{\"method\": \"Echo\", \"in\": {\"x\": 1}}\n"
      "{\"method\": \"Open\", \"params\": \"DEV1\"}\n"
      "{\"method\": \"Echo\", \"in\": \"last\"}\n",
      false);
  std::istringstream lines(out);
  std::vector<Json> answers;
  for (std::string line; std::getline(lines, line);) answers.push_back(Json::parse(line));
  ASSERT_EQ(answers.size(), 6u) << out;
  EXPECT_EQ(answers[0], Json::parse(R"({"method":"Boom","exception":"Менеджер оборудования недоступен"})"));
  EXPECT_EQ(answers[1]["line"], 3);
  EXPECT_EQ(answers[2]["line"], 4);
  EXPECT_EQ(answers[3]["line"], 5);
  EXPECT_EQ(answers[4]["line"], 6);
  EXPECT_TRUE(answers[1].contains("error"));
  EXPECT_EQ(answers[5]["out"], "last");
  EXPECT_EQ(driver.names, (std::vector<std::string>{"Boom", "Echo"}));  // bad lines call nothing
}

// Nesting is limited while the line is read: a line nested deeper is no call, however
// deep it goes, and the run goes on.
TEST_F(CallLinesTest, LinesNestedTooDeeplyAreNoCalls) {
  // The call object is one level; InData adds `depth` levels of arrays.
  const auto line = [](int depth) {
    return R"({"method": "Echo", "in": )" + std::string(depth, '[') + std::string(depth, ']') + "}\n";
  };
  const int limit = kMaxJsonDepth;
  EXPECT_NE(Run(line(limit - 1)).find("\"result\":true"), std::string::npos);
  const std::string deepObject = R"({"method": "Echo", "in": )" + [&] {
    std::string s;
    for (int k = 0; k < limit; ++k) s += R"({"array2": [[)";
    for (int k = 0; k < limit; ++k) s += "]]}";
    return s;
  }() + "}\n";
  for (const std::string& l : {line(limit), line(10000), line(1000000), deepObject}) {
    driver.names.clear();
    EXPECT_EQ(Run(l + R"({"method": "Echo"})" "\n", false),
              R"({"line":1,"error":"строка не является вызовом: вложенность массивов и объектов глубже 32"})"
              "\n"
              R"({"method":"Echo","result":true,"out":null})"
              "\n");
    EXPECT_EQ(driver.names.size(), 1u);
  }
}

}  // namespace
}  // namespace eqd
