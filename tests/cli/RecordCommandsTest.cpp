// korvelt record as a shell runs it, against the simulated driver: the rows
// it was asked for, a file it cannot write, gaps and the exit status when
// nothing answers, and a file that Ctrl+C leaves complete with its companion.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "SimulatedLine.h"

namespace {

using sim::Fault;
using sim::FaultKind;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Read(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Folder {
  std::filesystem::path path = std::filesystem::temp_directory_path() / ("korvelt-record-" + std::to_string(getpid()));
  Folder() { std::filesystem::create_directories(path); }
  ~Folder() { std::filesystem::remove_all(path); }
};

TEST(KorveltRecord, CountWritesExactlyThatManyRows) {
  SimulatedLine line(2);
  const KorveltRun run = RunKorvelt({"--port", "COM2", "record", "--interval", "10", "--count", "7"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 8u) << run.out;
  EXPECT_EQ(lines[0].rfind("时间,经过时间 [s],输出PWM [%],相电流 [A]", 0), 0u) << "no byte-order mark on a pipe";
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].find(",,"), std::string::npos) << lines[i];
}

TEST(KorveltRecord, AFileThatCannotBeWrittenSaysSoBeforeAnyRead) {
  SimulatedLine line(2);
  const KorveltRun run = RunKorvelt({"--port", "COM2", "record", "--count", "3", "/nonexistent-folder/run.csv"});
  EXPECT_EQ(run.status, 9) << run.err;
  EXPECT_NE(run.err.find("导出记录失败: 无法写入 /nonexistent-folder/run.csv"), std::string::npos) << run.err;
  EXPECT_EQ(line.Driver().RequestCount(), 0u);
}

TEST(KorveltRecord, NothingAnsweringRecordsGapsAndExitsWithNoAnswer) {
  SimulatedLine line(2);
  line.Driver().SetFault(Fault::Of(FaultKind::NoAnswer));
  Folder folder;
  const std::string csv = (folder.path / "silent.csv").string();
  const KorveltRun run = RunKorvelt({"--port", "COM2", "record", "--interval", "10", "--count", "3", csv});
  EXPECT_EQ(run.status, 4) << run.err;
  EXPECT_NE(run.err.find("通讯超时"), std::string::npos) << run.err;
  const std::vector<std::string> lines = Lines(Read(csv));
  ASSERT_EQ(lines.size(), 4u);
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find(std::string(12, ',')), std::string::npos) << "every value empty: " << lines[i];
  }
  const nlohmann::json json = nlohmann::json::parse(Read((folder.path / "silent.json").string()));
  EXPECT_EQ(json["rows"], 3);
  EXPECT_EQ(json["gaps"], 3);
  EXPECT_TRUE(json["device"].is_null());
}

// Paced or back to back, the companion says which.
TEST(KorveltRecord, TheCompanionSaysHowTheRowsWereRead) {
  SimulatedLine line(2);
  Folder folder;
  const std::string csv = (folder.path / "run.csv").string();
  for (const bool fast : {false, true}) {
    const KorveltRun run = RunKorvelt({"--port", "COM2", "record", fast ? "--fast" : "--interval=10", "--count", "4", csv});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json json = nlohmann::json::parse(Read((folder.path / "run.json").string()));
    EXPECT_EQ(json["fast"], fast);
    EXPECT_EQ(json["fastRows"], fast ? 4 : 0);
    EXPECT_EQ(json["pollIntervalMs"], fast ? nlohmann::json(nullptr) : nlohmann::json(10));
  }
}

TEST(KorveltRecord, CtrlCLeavesTheFileCompleteWithItsCompanion) {
  SimulatedLine line(2);
  Folder folder;
  const std::string csv = (folder.path / "run.csv").string();
  ChildProcess korvelt({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "record", "--interval", "20", csv}, true);
  ASSERT_TRUE(korvelt.Started());
  const uint64_t before = line.Driver().RequestCount();
  ASSERT_TRUE(WaitUntil([&] { return line.Driver().RequestCount() >= before + 10; }, std::chrono::seconds(10)));
  korvelt.Signal(SIGINT);
  const std::optional<int> status = korvelt.Wait(std::chrono::seconds(10));
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0) << "without a limit, Ctrl+C is how it ends";
  const std::string text = Read(csv);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "the last row is whole";
  const std::vector<std::string> lines = Lines(text);
  const nlohmann::json json = nlohmann::json::parse(Read((folder.path / "run.json").string()));
  EXPECT_EQ(json["rows"], lines.size() - 1);
  EXPECT_GE(json["rows"].get<int>(), 5);
  EXPECT_EQ(json["device"]["fields"][0]["text"], "0x0A31");
  EXPECT_EQ(json["pollIntervalMs"], 20);
}

}  // namespace
