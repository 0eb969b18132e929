// korvelt's exit statuses and its data, through the real program against
// the simulated driver.
#include <gtest/gtest.h>

#include "KorveltRun.h"
#include "SimulatedLine.h"

namespace {

using sim::Fault;
using sim::FaultKind;

TEST(Korvelt, ExitStatusTellsWhatHappened) {
  const StatusCase cases[] = {
      {"answered", {"--port", "COM2", "status"}, {}, 0, ""},
      {"no answer", {"--port", "COM2", "info"}, Fault::Of(FaultKind::NoAnswer), 4, "读取信息: 通讯超时"},
      {"exception", {"--port", "COM2", "status"}, Fault::ExceptionCode(2), 5, "读取状态: "},
      {"bad answer", {"--port", "COM2", "status"}, Fault::CountOffBy(2), 6, "读取状态: 应答错误"},
      {"missing port", {"--port", "COM9", "status"}, {}, 3, "打开串口失败\nCOM9 没有对应的设备"},
      {"usage", {"--port", "COM2", "--baud", "1234", "status"}, {}, 2, "--baud"},
      {"no command", {"--port", "COM2"}, {}, 2, ""},
  };
  SimulatedLine line(2);
  ExpectStatuses(line.Driver(), cases, [](const std::vector<std::string>& args) { return RunKorvelt(args); });
}

// The same fields as the window's boxes, by key, with their texts.
TEST(Korvelt, JsonCarriesKeysNamesTextsAndUnits) {
  SimulatedLine line(2);
  const nlohmann::json info = RunKorvelt({"--port", "COM2", "--json", "info"}).Json();
  ASSERT_EQ(info["fields"].size(), 7u);
  EXPECT_EQ(info["fields"][0]["key"], "identity");
  EXPECT_EQ(info["fields"][0]["name"], "设备标识");
  EXPECT_EQ(info["fields"][0]["text"], "0x0A31");
  EXPECT_FALSE(info["objects"].empty());

  const nlohmann::json status = RunKorvelt({"--port", "COM2", "--json", "status"}).Json();
  ASSERT_EQ(status["fields"].size(), 17u);
  EXPECT_EQ(status["fields"][1]["key"], "phaseCurrent");
  EXPECT_EQ(status["fields"][1]["unit"], "A");
  EXPECT_TRUE(status["fields"][1]["value"].is_number());
  EXPECT_FALSE(status["fields"][16].contains("value")) << "the error state is a state, not a measurement";
}

}  // namespace
