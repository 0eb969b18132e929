// korvelt read, write, backup, diff and restore run as a script runs them,
// against the simulated driver: exit statuses, messages, and the JSON
// documents read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <csignal>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "RestoreCases.h"
#include "SimulatedLine.h"
#include "device/IdentityJson.h"

namespace {

using sim::Fault;
using sim::FaultKind;
using nlohmann::json;

device::IdentityRecord IdentityIn(const json& document) {
  device::IdentityRecord identity;
  EXPECT_EQ(device::TakeIdentity(document["device"], identity), "");
  return identity;
}

class ParameterCommands : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return home.Path() + "/" + name; }

  void WriteFile(const char* name, const std::string& text) const { std::ofstream(Path(name)) << text; }

  // On COM2 unless the arguments name a port.
  KorveltRun Korvelt(std::vector<std::string> args) {
    if (args.empty() || args[0] != "--port") args.insert(args.begin(), {"--port", "COM2"});
    return RunKorvelt(args);
  }

  DataHome home;  // backups and files of the test
  SimulatedLine line{2};
};

TEST_F(ParameterCommands, ExitStatusTellsWhatHappened) {
  WriteFile("template.json", R"({"format": "korvelt-parameters", "version": 1,
                                 "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "1.0"}]}}})");
  WriteFile("other-model.json", R"({"format": "korvelt-parameters", "version": 1,
      "device": {"identity": "0x0A31", "model": "KVB-2410", "version": "1.05"},
      "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "1.0"}]}}})");
  WriteFile("notes.txt", "ramp: 1.0\n");
  const std::string file = Path("template.json");
  const StatusCase cases[] = {
      {"no answer", {"backup", Path("b.json")}, Fault::Of(FaultKind::NoAnswer), 4, "读取设备信息: 通讯超时"},
      {"exception", {"diff", file}, Fault::ExceptionCode(2), 5, "读取设备信息: "},
      {"bad answer", {"read", "pid"}, Fault::CountOffBy(2), 6, "读取闭环控制参数: 应答错误"},
      {"missing port", {"--port", "COM9", "restore", file}, {}, 3, "打开串口失败\nCOM9 没有对应的设备"},
      {"not a parameter file", {"diff", Path("notes.txt")}, {}, 8, "notes.txt: 不是参数文件"},
      {"no such file", {"restore", Path("none.json")}, {}, 8, "无法打开"},
      {"another model", {"restore", Path("other-model.json")}, {}, 8, "文件来自另一型号的设备"},
      {"a block the file lacks", {"restore", file, "--only", "ramp,pid"}, {}, 8, "文件中没有参数块 pid"},
      {"a refused text", {"write", "motor", "gearRatio=6553.6"}, {}, 8, "减速器减速比: 请输入 0.0 到 6553.5 之间的数值"},
      {"no such field", {"write", "ramp", "jerk=1"}, {}, 8, "没有字段 \"jerk\""},
      {"not KEY=TEXT", {"write", "motor", "ratedCurrent"}, {}, 2, "KEY=TEXT"},
      {"no such block", {"read", "status"}, {}, 2, "status"},
      {"a range backwards", {"--address", "3-1", "status"}, {}, 2, "--address: 3-1 不是地址 1..128"},
      {"no address 0", {"--address", "1,0", "status"}, {}, 2, "--address: 0 不是地址"},
      {"several drivers to standard output", {"--address", "1,2", "backup", "-"}, {}, 2, "写入一个文件夹"},
      {"a folder not there", {"backup", Path("missing/b.json")}, {}, 9, "无法写入"},
      {"differences", {"diff", file}, {}, 1, ""},
      {"dry run", {"restore", "--dry-run", file}, {}, 0, ""},
  };
  ExpectStatuses(line.Driver(), cases, [this](const std::vector<std::string>& args) { return Korvelt(args); });
  EXPECT_EQ(line.Driver().Register(0x0050), 5) << "nothing was written";
  EXPECT_FALSE(std::filesystem::exists(home.Path() + "/korvelt-demo")) << "nothing written, nothing backed up";
}

// Saved from one driver, compared and restored onto it after a change, as a
// production script would; each JSON document read back.
TEST_F(ParameterCommands, BackupDiffRestoreAndWriteInJson) {
  const std::string file = Path("driver.json");
  ASSERT_EQ(Korvelt({"backup", file}).status, 0);
  const KorveltRun read = Korvelt({"--json", "read", "motor", "pid"});
  ASSERT_EQ(read.status, 0) << read.err;
  const json document = read.Json();
  EXPECT_EQ(document["format"], "korvelt-parameters");
  EXPECT_EQ(IdentityIn(document).Model(), "KVB-4815-RS485-S");
  EXPECT_EQ(document["blocks"]["motor"]["fields"][0]["key"], "ratedCurrent");
  EXPECT_EQ(document["blocks"]["motor"]["words"].size(), 23u);
  EXPECT_FALSE(document["blocks"].contains("ramp"));

  line.Driver().SetRegister(0x006A, 123);  // 额定电流 1.23 A
  const KorveltRun diff = Korvelt({"--json", "diff", file});
  EXPECT_EQ(diff.status, 1);
  const json differences = diff.Json()["differences"];
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0], (json{{"block", "motor"}, {"key", "ratedCurrent"}, {"name", "额定电流"},
                                  {"device", "1.23"}, {"file", "5.00"}, {"unit", "A"}}));
  EXPECT_FALSE(diff.Json()["identity"]["differs"]);

  const KorveltRun restore = Korvelt({"--json", "restore", file});
  ASSERT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(restore.Json()["written"], json::array({"motor"}));
  EXPECT_TRUE(restore.Json()["verified"]);
  EXPECT_EQ(line.Driver().Register(0x006A), 500);
  const std::string backup = restore.Json()["backup"];
  EXPECT_EQ(backup.rfind(home.Path() + "/korvelt-demo/backups/KVB-4815-RS485-S-", 0), 0u) << backup;
  EXPECT_NE(restore.err.find("已备份到 " + backup), std::string::npos);
  EXPECT_EQ(Korvelt({"diff", file}).status, 0);

  // By key and by name, a text that holds '='.
  const KorveltRun write = Korvelt({"--json", "write", "motor", "ratedCurrent=2.5", "额定电流=2.5", "gearRatio=3"});
  EXPECT_EQ(write.status, 8) << "one field given twice";
  const KorveltRun written = Korvelt({"--json", "write", "motor", "额定电流=2.5", "gearRatio= 3"});
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.Json(), (json{{"written", {"motor"}}, {"verified", true}, {"mismatches", json::array()}}));
  EXPECT_EQ(line.Driver().Register(0x006A), 250);
  EXPECT_EQ(line.Driver().Register(0x0074), 30);

  // Onto another unit of the same model: only what differs is written.
  const uint64_t before = line.Driver().RequestCount();
  const KorveltRun again = Korvelt({"restore", "--only", "motor", file});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, "已写入: motor\n读回一致\n");
  EXPECT_EQ(line.Driver().Register(0x006A), 500);
  EXPECT_GT(line.Driver().RequestCount(), before);
}

TEST_F(ParameterCommands, AnotherModelIsWrittenWithForce) {
  const std::string file = Path("other.json");
  json document = json::parse(Korvelt({"backup", "-"}).out);
  device::IdentityRecord other = IdentityIn(document);
  other.texts[fields::ModelField] = "KVB-2410";
  document["device"] = device::IdentityJson(other);
  document["blocks"]["ramp"]["fields"][0]["text"] = "2.0";
  WriteFile("other.json", document.dump());
  EXPECT_EQ(Korvelt({"restore", file}).status, 8);
  EXPECT_EQ(line.Driver().Register(0x0050), 5);
  const KorveltRun forced = Korvelt({"restore", "--force", file});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(line.Driver().Register(0x0050), 20);
}

// Each question of the restore writes nothing unless --force answers it,
// and is said in the window's words.
TEST_F(ParameterCommands, RestoreAsksWhatTheWindowAsks) {
  for (const RestoreCase& c : RestoreCases) {
    SCOPED_TRACE(c.name);
    WriteFile("file.json", c.file);
    if (c.backupsBlocked) WriteFile("korvelt-demo", "in the way");
    const uint16_t before = line.Driver().Register(c.changes);
    for (const bool force : {false, true}) {
      const KorveltRun run = Korvelt(force ? std::vector<std::string>{"--json", "restore", "--force", Path("file.json")}
                                           : std::vector<std::string>{"--json", "restore", Path("file.json")});
      const bool writes = *c.question == '\0' || force;
      EXPECT_EQ(run.status, writes ? 0 : 8) << run.err;
      EXPECT_NE(run.err.find(*c.question != '\0' ? c.question : "已备份到"), std::string::npos) << run.err;
      // A script reads which question stopped it, beside what was written.
      const json report = run.Json();
      EXPECT_EQ(report["written"].empty(), !writes) << report;
      if (writes) {
        EXPECT_TRUE(report["unanswered"].is_null()) << report;
      } else {
        EXPECT_EQ(report["unanswered"]["question"], c.questionName) << report;
        EXPECT_NE(report["unanswered"]["text"].get<std::string>().find(c.question), std::string::npos) << report;
      }
      EXPECT_EQ(line.Driver().Register(c.changes) != before, writes) << force;
      EXPECT_EQ(std::filesystem::exists(Path("korvelt-demo/backups")), writes && !c.backupsBlocked) << force;
      line.Driver().SetRegister(c.changes, before);
      if (!c.backupsBlocked) std::filesystem::remove_all(Path("korvelt-demo"));
    }
    std::filesystem::remove_all(Path("korvelt-demo"));
  }
}

// A change on the driver after the comparison's read: the backup holds it,
// and the block written keeps it where the file does not speak.
TEST_F(ParameterCommands, RestoreBacksUpAReadTakenJustBeforeTheWrites) {
  WriteFile("ramp.json", RampFile);
  uint64_t before = line.Driver().RequestCount();
  ASSERT_EQ(Korvelt({"backup", "-"}).status, 0);
  const uint64_t wholeRead = line.Driver().RequestCount() - before;
  line.Driver().SetFault(Fault::Delayed(std::chrono::milliseconds(60)));
  before = line.Driver().RequestCount();
  ChildProcess korvelt({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "--json", "restore", Path("ramp.json")}, true);
  ASSERT_TRUE(WaitUntil([&] { return line.Driver().RequestCount() >= before + wholeRead; }, std::chrono::seconds(10)));
  line.Driver().SetRegister(0x0051, 7);    // PWM下降缓冲 0.7 s
  line.Driver().SetRegister(0x006A, 123);  // 额定电流 1.23 A
  const std::string out = korvelt.ReadToEnd(std::chrono::seconds(20));
  ASSERT_EQ(korvelt.Wait(std::chrono::seconds(5)), 0) << korvelt.Errors();
  const json backup = json::parse(std::ifstream(json::parse(out)["backup"].get<std::string>()));
  EXPECT_EQ(backup["blocks"]["ramp"]["words"][1], 7);
  EXPECT_EQ(backup["blocks"]["motor"]["fields"][0]["text"], "1.23");
  EXPECT_EQ(line.Driver().Register(0x0050), 10) << "the file's text written";
  EXPECT_EQ(line.Driver().Register(0x0051), 7) << "the driver's change kept";
}

// A driver that answers its writes but keeps nothing: the read-back check
// catches it and names the fields.
TEST_F(ParameterCommands, ADriverThatDoesNotStoreFailsTheReadBack) {
  const std::string file = Path("driver.json");
  ASSERT_EQ(Korvelt({"backup", file}).status, 0);
  line.Driver().SetRegister(0x006A, 123);  // 额定电流 1.23 A
  line.Driver().SetRegister(0x0050, 9);    // PWM上升缓冲 0.9 s
  line.Driver().SetFault(Fault::Of(FaultKind::IgnoreWrites));
  const KorveltRun restore = Korvelt({"--json", "restore", file});
  EXPECT_EQ(restore.status, 7);
  const json report = restore.Json();
  EXPECT_EQ(report["written"], json::array({"ramp", "motor"}));
  EXPECT_FALSE(report["verified"]);
  ASSERT_EQ(report["mismatches"].size(), 2u);
  EXPECT_EQ(report["mismatches"][1], (json{{"block", "motor"}, {"key", "ratedCurrent"}, {"name", "额定电流"},
                                          {"wrote", "5.00"}, {"read", "1.23"}}));
  EXPECT_NE(restore.err.find("读回与写入不同: 电机参数配置 额定电流: 写入 5.00, 读回 1.23"), std::string::npos)
      << restore.err;
  EXPECT_NE(restore.err.find("读回与写入不同: PWM方式缓冲/闭环方式加速度 PWM上升缓冲: 写入 0.5, 读回 0.9"),
            std::string::npos);

  const KorveltRun write = Korvelt({"write", "pid", "holdKp=2"});
  EXPECT_EQ(write.status, 7);
  EXPECT_NE(write.out.find("写入 2, 读回"), std::string::npos) << write.out;
}

// A file saved from a unit whose motor learned, given to one whose motor
// has not: the configuration goes over, the learning result only when
// asked for; korvelt write touches it only when asked for too.
TEST_F(ParameterCommands, TheLearningResultStaysWithItsUnitUnlessAsked) {
  sim::DriverOptions learnedMotor;
  learnedMotor.learned = true;
  SimulatedLine other{3, learnedMotor};
  const std::string there = other.Pty().SlavePath(), here = line.Pty().SlavePath();
  const std::string file = Path("learned.json");
  other.Driver().SetRegister(0x006A, 321);  // 额定电流 3.21 A
  ASSERT_EQ(Korvelt({"--port", there, "backup", file}).status, 0);
  const json saved = json::parse(std::ifstream(file));
  EXPECT_EQ(saved["blocks"]["motor"]["words"][0x15], 1) << "the file keeps the learned flag";
  EXPECT_EQ(saved["blocks"]["motor"]["words"][0x0D], 0x0105) << "and the phase order";

  const KorveltRun restore = Korvelt({"--port", here, "--json", "restore", file});
  ASSERT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(restore.Json()["written"], json::array({"motor"}));
  EXPECT_TRUE(restore.Json()["verified"]);
  EXPECT_EQ(restore.Json()["learningKept"], json::array({"learnState", "phaseOrder"}));
  EXPECT_NE(restore.err.find("本机学习结果不写入: 电机学习状态, 电机相序数据"), std::string::npos) << restore.err;
  EXPECT_EQ(line.Driver().Register(0x006A), 321);
  EXPECT_EQ(line.Driver().Register(0x0075), 0);
  EXPECT_EQ(line.Driver().Register(0x006D), 0);

  // Only the learning result differs now: nothing is written, nor backed up.
  const KorveltRun again = Korvelt({"--port", here, "restore", file});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find("除本机学习结果外与文件相同, 无需写入"), std::string::npos) << again.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("korvelt-demo/backups")), {}), 1);

  const KorveltRun with = Korvelt({"--port", here, "--json", "restore", "--with-learning", file});
  ASSERT_EQ(with.status, 0) << with.err;
  EXPECT_EQ(with.Json()["written"], json::array({"motor"}));
  EXPECT_TRUE(with.Json()["verified"]);
  EXPECT_EQ(with.Json()["learningKept"], json::array());
  EXPECT_EQ(line.Driver().Register(0x0075), 1);
  for (const uint16_t r : {0x006D, 0x006E, 0x006F}) EXPECT_EQ(line.Driver().Register(r), other.Driver().Register(r));

  const KorveltRun refused = Korvelt({"--port", here, "write", "motor", "learnState=未学习"});
  EXPECT_EQ(refused.status, 8);
  EXPECT_NE(refused.err.find("本机学习结果 (电机学习状态) 只在给出 --with-learning 时写入"), std::string::npos)
      << refused.err;
  EXPECT_EQ(line.Driver().Register(0x0075), 1);
  EXPECT_EQ(Korvelt({"--port", here, "write", "--with-learning", "motor", "learnState=未学习"}).status, 0);
  EXPECT_EQ(line.Driver().Register(0x0075), 0);
}

// SIGINT between two slow answers: the work stops at the next step, says
// so, and leaves no file behind.
TEST_F(ParameterCommands, InterruptedBetweenTwoTransactions) {
  line.Driver().SetFault(Fault::Delayed(std::chrono::milliseconds(300)));
  const uint64_t before = line.Driver().RequestCount();
  ChildProcess korvelt({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "backup", Path("b.json")}, true);
  ASSERT_TRUE(WaitUntil([&] { return line.Driver().RequestCount() > before; }));
  korvelt.Signal(SIGINT);
  const std::string out = korvelt.ReadToEnd(std::chrono::seconds(10));
  EXPECT_EQ(korvelt.Wait(std::chrono::seconds(10)), 130);
  EXPECT_NE(korvelt.Errors().find("已取消"), std::string::npos) << korvelt.Errors();
  EXPECT_EQ(out, "");
  EXPECT_FALSE(std::filesystem::exists(Path("b.json")));
}

}  // namespace
