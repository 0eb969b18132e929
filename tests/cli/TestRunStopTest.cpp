// korvelt test when the line goes quiet in a run step, and the report page
// of a unit whose names were typed by someone else: the stop that goes out
// once the line answers again (or says why it could not), and every text
// of the page kept as text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "KorveltRun.h"
#include "ReportPage.h"
#include "SimulatedLine.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kPlan = KORVELT_EXAMPLES_DIR "/production/kvb4815.json";

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

sim::LineOptions Wire() {
  sim::LineOptions line;
  line.wire = true;
  return line;
}

sim::DriverOptions Learned() {
  sim::DriverOptions options;
  options.learned = true;
  return options;
}

TEST(KorveltTestStop, AStatusReadUnansweredInARunStepEndsInErrorAndTheStopGoesOutWhenTheLineAnswers) {
  struct Case {
    const char* name;
    std::optional<uint32_t> unanswered;  // requests; none: the line stays quiet
    bool reached;
    const char* says;
  };
  const Case cases[] = {
      {"the line comes back", 3, true, "停止已发送"},
      {"the line stays quiet", std::nullopt, false, "停止未能发送: 通讯超时"},
  };
  for (const Case& c : cases) {
    DataHome data;
    SimulatedLine line(2, Learned(), Wire());
    const fs::path results = fs::path(data.Path()) / "results";
    auto running = std::async(std::launch::async, [&] {
      return RunKorvelt({"--lang", "zh", "--port", "COM2", "test", kPlan, "--serial", "KV4815-000001",
                         "--assume-confirmed", "--results", results.string()},
                        90000);
    });
    // The first run step's command (400.0 Hz): the line goes quiet while
    // the motor settles.
    ASSERT_TRUE(WaitUntil([&] { return line.Driver().Register(0x0043) == 4000; }, std::chrono::seconds(60))) << c.name;
    line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer, c.unanswered));
    const KorveltRun run = running.get();
    EXPECT_EQ(run.status, 4) << c.name << ": " << run.err;
    json record;
    for (const auto& entry : fs::directory_iterator(results)) {
      if (entry.path().extension() == ".json") record = json::parse(Read(entry.path()));
    }
    ASSERT_FALSE(record.is_null()) << c.name;
    EXPECT_EQ(record["firstFailingStep"], 6) << c.name;
    EXPECT_EQ(record["steps"][5]["outcome"], "ERROR") << c.name;
    const json& stop = record["endStop"];
    EXPECT_EQ(stop["sent"], true) << c.name;
    EXPECT_EQ(stop["reached"], c.reached) << c.name;
    EXPECT_EQ(stop["text"], c.says) << c.name;
    // Tried again after the step's own stop went unanswered.
    EXPECT_GE(stop["tries"].get<int>(), 2) << c.name;
    EXPECT_NE((c.reached ? run.out : run.err).find(c.says), std::string::npos) << c.name << ": " << run.out << run.err;
    const ReportPage page = ParseReportPage(Read(results / (record["id"].get<std::string>() + ".html")));
    EXPECT_NE(page.text.find(c.says), std::string::npos) << c.name;
    if (c.reached) {
      const std::vector<uint8_t> last = line.Driver().LastRequest();
      ASSERT_EQ(last.size(), 8u);
      EXPECT_EQ(last[1], 0x06);
      EXPECT_EQ(last[2] << 8 | last[3], 0x0040);
    }
  }
}

// Texts the plan, the operator and the driver give are shown as text: a
// driver of another model fails its identity and its page names them as
// given.
TEST(KorveltTestStop, TheReportShowsWhatWasTypedAsText) {
  struct Case {
    std::string operatorName;
    std::string station;
    std::string serial;
    std::string model;  // the driver's bytes; shown up to the first that is no text
  };
  const Case cases[] = {
      {"<script>alert(1)</script>", "a&b \"c\" 'd'", "A<b>&amp;", "<i>&\"\xff"},
      {"]]><!-- -->\x01", "<![CDATA[x]]>", "S'1\"&lt;", "]]>'\x1b[2J"},
  };
  for (const Case& c : cases) {
    DataHome data;
    sim::DriverOptions driver = Learned();
    driver.model = c.model;
    SimulatedLine line(2, driver, Wire());
    const fs::path results = fs::path(data.Path()) / "results";
    const fs::path plan = fs::path(data.Path()) / "plan.json";
    std::ofstream(plan) << R"({"format": "korvelt-test-plan", "version": 1, "name": "<i>名</i> & co", "revision": "A",
      "steps": [{"type": "identify", "name": "<b>型号</b>", "model": "KVB-4815-RS485-S"}]})";
    const KorveltRun run = RunKorvelt({"--lang", "zh", "--port", "COM2", "test", plan.string(), "--serial", c.serial, "--operator",
                                       c.operatorName, "--station", c.station, "--results", results.string(), "--html",
                                       (fs::path(data.Path()) / "copy.html").string()});
    EXPECT_EQ(run.status, 1) << run.err;
    const ReportPage page = ParseReportPage(Read(fs::path(data.Path()) / "copy.html"));
    ASSERT_TRUE(page.wellFormed) << c.operatorName;
    for (const char* element : {"script", "b", "i"}) EXPECT_EQ(page.elements.count(element), 0u) << element;
    for (const std::string& shown : {c.serial, c.station, std::string("<i>名</i> & co"), std::string("<b>型号</b>")}) {
      EXPECT_NE(page.text.find(shown), std::string::npos) << shown;
    }
    // A control character or a byte that is no UTF-8 is shown as the
    // replacement character.
    for (const std::string& typed : {c.operatorName, c.model}) {
      const size_t cut = typed.find_first_of("\x01\x1b\xff");
      const std::string shown = cut == std::string::npos ? typed : typed.substr(0, cut) + "\xEF\xBF\xBD";
      EXPECT_NE(page.text.find(shown), std::string::npos) << shown;
    }
    EXPECT_NE(page.text.find("未发送停止"), std::string::npos);
  }
}

}  // namespace
