// A plan's prompt with an operator at the station: the runner asks on its
// own thread and goes on, or ends the unit, as the operator answers; a stop
// asked for while the prompt waits ends it too, and the stop goes out.
#include <stop_token>

#include "LinkOnSimulator.h"
#include "driver/DriverLink.h"
#include "testplan/PlanFile.h"
#include "testrun/Runner.h"

namespace {

namespace tr = testrun;

using PromptTest = LinkOnSimulator<DriverLink>;

testplan::Plan PromptPlan() {
  const testplan::Loaded loaded = testplan::ParsePlan(
      R"({"format": "korvelt-test-plan", "version": 1, "name": "P", "revision": "A",
          "steps": [{"type": "prompt", "name": "固定电机", "text": "请固定电机"},
                    {"type": "wait", "name": "等待", "seconds": 0.1}]})",
      [](const std::string&) { return testplan::NamedFile{{}, {}, "no files"}; });
  EXPECT_TRUE(loaded.plan.has_value()) << loaded.refusal;
  return loaded.plan.value_or(testplan::Plan{});
}

TEST_F(PromptTest, TheOperatorsAnswerGoesOnOrEndsTheUnit) {
  const testplan::Plan plan = PromptPlan();
  struct Case {
    const char* name;
    bool answer;
    bool stopWhileAsked;
    tr::Outcome outcome;
    bool endStop;
  };
  const Case cases[] = {
      {"continue", true, false, tr::Outcome::Pass, false},
      {"abort", false, false, tr::Outcome::Aborted, true},
      {"stop while asked", true, true, tr::Outcome::Aborted, true},
  };
  for (const Case& c : cases) {
    std::stop_source stop;
    std::vector<std::string> asked;
    uint64_t sentBefore = 0;
    tr::RunSettings settings;
    settings.confirm = [&](size_t index, const std::string& text, std::stop_token) {
      asked.push_back(std::to_string(index) + " " + text);
      sentBefore = driver.RequestCount();
      if (c.stopWhileAsked) stop.request_stop();
      return c.answer;
    };
    EXPECT_EQ(tr::Refusal(plan, settings), "") << c.name;
    const tr::UnitResult unit = tr::RunUnit(link, plan, settings, stop.get_token(), {});
    EXPECT_EQ(asked, std::vector<std::string>{"0 请固定电机"}) << c.name;
    EXPECT_EQ(unit.outcome, c.outcome) << c.name;
    EXPECT_EQ(unit.steps[1].outcome.has_value(), !c.endStop) << c.name << ": the wait after the prompt";
    EXPECT_EQ(unit.endStopSent, c.endStop) << c.name;
    if (c.endStop) {
      const std::vector<uint8_t> last = driver.LastRequest();
      ASSERT_EQ(last.size(), 8u) << c.name;
      EXPECT_EQ(last[2] << 8 | last[3], 0x0040) << c.name;
    } else {
      EXPECT_EQ(driver.RequestCount(), sentBefore) << c.name << ": nothing after the prompt";
    }
  }
}

}  // namespace
