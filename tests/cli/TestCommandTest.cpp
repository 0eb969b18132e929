// korvelt test --check as a station's engineer runs it: a plan and its
// parameter file in a folder of their own, no driver on the line.
#include <gtest/gtest.h>

#include <fstream>

#include "KorveltRun.h"
#include "PtyPair.h"
#include "base/Sha256.h"

namespace {

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// The line of `text` that begins with `start`, its columns closed up.
std::string LineOf(const std::string& text, const std::string& start) {
  const size_t at = text.find("\n" + start);
  if (at == std::string::npos && text.compare(0, start.size(), start) != 0) return {};
  const size_t from = at == std::string::npos ? 0 : at + 1;
  std::string line = text.substr(from, text.find('\n', from) - from);
  for (size_t gap; (gap = line.find("  ")) != std::string::npos;) line.erase(gap, 1);
  return line;
}

std::string PlanText(const std::string& parameterFile) {
  return R"({"format": "korvelt-test-plan", "version": 1, "name": "空载测试", "revision": "B",
  "serialPattern": "KV-*",
  "steps": [
    {"type": "configure", "name": "出厂参数", "file": ")" + parameterFile + R"("},
    {"type": "run", "name": "空载 100 Hz", "command": {"mode": "frequency", "frequency": 100},
     "settle": 1, "window": 2,
     "measure": [{"field": "motorSpeed", "stat": "mean", "low": 950, "high": 1050, "unit": "rpm", "marginal": 10}]},
    {"type": "stop", "name": "停止"}
  ]})";
}

TEST(TestCommand, CheckListsAGoodPlanAndRefusesOneThatDoesNotFit) {
  DataHome folder;
  Write(folder.Path() + "/factory.json",
        R"({"format": "korvelt-parameters", "version": 1, "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "2.5"}]}}})");
  const std::string good = folder.Path() + "/good.json";
  Write(good, PlanText("factory.json"));

  const KorveltRun listed = RunKorvelt({"--lang", "zh", "test", "--check", good});
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::string hash = base::Sha256Hex(PlanText("factory.json"));
  EXPECT_EQ(LineOf(listed.out, "SHA-256"), "SHA-256 " + hash.substr(0, 8)) << listed.out;
  EXPECT_EQ(LineOf(listed.out, "测试计划"), "测试计划 空载测试") << listed.out;
  EXPECT_EQ(LineOf(listed.out, "修订"), "修订 B") << listed.out;
  EXPECT_EQ(LineOf(listed.out, "序列号模式"), "序列号模式 KV-*") << listed.out;
  EXPECT_NE(LineOf(listed.out, "1. ").find("1. 出厂参数 配置: factory.json (1 个参数块"), std::string::npos) << listed.out;
  EXPECT_EQ(LineOf(listed.out, "2. "),
            "2. 空载 100 Hz 运行: 频率运行 100.0Hz, 稳定 1 秒, 测量 2 秒, 结束时正常停止; 电机转速 平均值 950 到 1050 RPM, 临界 10")
      << listed.out;
  EXPECT_EQ(LineOf(listed.out, "3. "), "3. 停止 停止: 正常停止") << listed.out;
  const KorveltRun json = RunKorvelt({"--json", "test", "--check", good});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.Json()["sha256"], hash);
  EXPECT_EQ(json.Json()["steps"][1]["type"], "run");

  // The parameter file it names is not beside it: refused, nothing listed.
  const std::string bad = folder.Path() + "/bad.json";
  Write(bad, PlanText("lost.json"));
  const KorveltRun refused = RunKorvelt({"--lang", "zh", "test", "--check", bad});
  EXPECT_EQ(refused.status, 8);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("第 1 步 \"出厂参数\""), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("lost.json"), std::string::npos) << refused.err;
}

}  // namespace
