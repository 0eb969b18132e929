// korvelt against what a careful user's files and output may be: standard
// output on a full disk, a backup folder that takes nothing, a recording
// whose companion's name is taken, a device or a FIFO as a file, SIGTERM
// before the first row.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "SimulatedLine.h"
#include "base/UniqueFd.h"

namespace {

namespace fs = std::filesystem;
using sim::Fault;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class HostileFiles : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return home.Path() + "/" + name; }
  KorveltRun Korvelt(std::vector<std::string> args, int timeoutMs = 20000) {
    args.insert(args.begin(), {"--port", "COM2"});
    return RunKorvelt(args, timeoutMs);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home.Path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  DataHome home;
  SimulatedLine line{2};
};

TEST_F(HostileFiles, DataThatStandardOutputDidNotTakeIsAFailure) {
  const std::vector<std::vector<std::string>> commands = {
      {"backup", "-"}, {"--json", "read", "all"}, {"info"}, {"--json", "backup", Path("b.json")},
      {"record", "--count", "2", "-"}, {"--help"},
  };
  for (const std::vector<std::string>& command : commands) {
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" --port COM2 \"$@\" > /dev/full",
                                     KORVELT_CLI_EXECUTABLE};
    argv.insert(argv.end(), command.begin(), command.end());
    const ProgramResult run = RunProgram(argv, std::chrono::seconds(20), true);
    EXPECT_EQ(run.exitStatus, 9) << command[0] << " " << command.back() << ": " << run.errors;
    EXPECT_NE(run.errors.find("无法写入标准输出"), std::string::npos) << command.back() << ": " << run.errors;
  }
}

TEST_F(HostileFiles, RestoreWritesNothingWithoutItsBackupUnlessToldTo) {
  std::ofstream(Path("template.json")) << R"({"format": "korvelt-parameters", "version": 1,
      "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "1.0"}]}}})";
  ASSERT_EQ(Korvelt({"diff", Path("template.json")}).status, 1) << "the file differs from the driver";
  // The backups' folder cannot be made: a file has its name.
  std::ofstream(Path("korvelt-demo")) << "in the way";
  const KorveltRun refused = Korvelt({"restore", Path("template.json")});
  EXPECT_EQ(refused.status, 8) << refused.err;
  EXPECT_NE(refused.err.find("无法在写入前备份参数"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("--no-backup"), std::string::npos) << refused.err;
  EXPECT_EQ(Korvelt({"diff", Path("template.json")}).status, 1) << "nothing was written";

  const KorveltRun told = Korvelt({"--json", "restore", "--no-backup", Path("template.json")});
  EXPECT_EQ(told.status, 0) << told.err;
  EXPECT_TRUE(told.Json()["backup"].is_null());
  EXPECT_EQ(Korvelt({"diff", Path("template.json")}).status, 0) << "written as told";
}

TEST_F(HostileFiles, TheCompanionReplacesNothingButAnEarlierCompanion) {
  const std::string parameters = R"({"format": "korvelt-parameters", "version": 1, "blocks": {}})";
  std::ofstream(Path("line3.json")) << parameters;
  struct Case {
    const char* file;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"run.json", 9, "以 .json 结尾"},
      {"line3.csv", 9, "line3.json 已存在且不是记录的说明文件"},
      {"again.csv", 0, "2 行"},
      {"again.csv", 0, "2 行"},  // over its own earlier companion
  };
  for (const Case& c : cases) {
    const uint64_t requests = line.Driver().RequestCount();
    const KorveltRun run = Korvelt({"record", "--interval", "10", "--count", "2", Path(c.file)});
    EXPECT_EQ(run.status, c.status) << c.file << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.file << ": " << run.err;
    if (c.status != 0) {
      EXPECT_EQ(line.Driver().RequestCount(), requests) << c.file << ": refused before any read";
    }
  }
  EXPECT_EQ(Read(Path("line3.json")), parameters) << "the parameter file is whole";
  EXPECT_EQ(Names(), (std::vector<std::string>{"again.csv", "again.json", "line3.json"}));
  EXPECT_EQ(nlohmann::json::parse(Read(Path("again.json")))["rows"], 2);
}

TEST_F(HostileFiles, RecordToADeviceAFifoOrStandardOutput) {
  const fs::path fifo = Path("live.csv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The test reads the FIFO; the few rows fit in its buffer until korvelt ends.
  UniqueFd reader(open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(reader.Valid());
  const KorveltRun run = Korvelt({"record", "--interval", "10", "--count", "2", fifo.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  std::string piped;
  char buffer[4096];
  for (ssize_t n; (n = read(reader.Get(), buffer, sizeof buffer)) > 0;) piped.append(buffer, static_cast<size_t>(n));
  EXPECT_NE(piped.find("时间,经过时间 [s]"), std::string::npos);
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo))) << "the FIFO stays";

  const fs::path device = Path("null");
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    const KorveltRun null = Korvelt({"record", "--interval", "10", "--count", "2", device.string()});
    EXPECT_EQ(null.status, 0) << null.err;
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(device))) << "the device stays";
  }
  EXPECT_FALSE(fs::exists(Path("live.json")) || fs::exists(Path("null.json"))) << "no companion beside a device";

  const KorveltRun out = Korvelt({"record", "--interval", "10", "--count", "2", "-"});
  EXPECT_EQ(out.status, 0) << out.err;
  EXPECT_EQ(out.out.rfind("时间,经过时间 [s]", 0), 0u) << "'-' is standard output";
  EXPECT_FALSE(fs::exists("-") || fs::exists("-.json"));

  for (const char* duration : {"nan", "1e10", "inf", "0"}) {
    const KorveltRun bad = Korvelt({"record", "--duration", duration});
    EXPECT_EQ(bad.status, 2) << duration;
    EXPECT_NE(bad.err.find("--duration"), std::string::npos) << duration << ": " << bad.err;
  }
}

TEST_F(HostileFiles, AFifoIsNoParameterFile) {
  ASSERT_EQ(mkfifo(Path("pipe.json").c_str(), 0600), 0);
  const KorveltRun run = Korvelt({"diff", Path("pipe.json")}, 5000);
  EXPECT_EQ(run.status, 8) << "refused at once, not waited on";
  EXPECT_NE(run.err.find("不是普通文件"), std::string::npos) << run.err;
}

TEST_F(HostileFiles, SigtermDuringTheFirstReadLeavesNoTemporary) {
  line.Driver().SetFault(Fault::Delayed(std::chrono::milliseconds(200)));
  ChildProcess korvelt({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "record", "--count", "100", Path("run.csv")}, true);
  ASSERT_TRUE(korvelt.Started());
  ASSERT_TRUE(WaitUntil([&] { return line.Driver().RequestCount() >= 1; }, std::chrono::seconds(10)));
  korvelt.Signal(SIGTERM);
  const std::optional<int> status = korvelt.Wait(std::chrono::seconds(20));
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 130) << "stopped before its count";
  for (const std::string& name : Names()) {
    EXPECT_TRUE(name == "run.csv" || name == "run.json" || name == "korvelt-demo") << "left behind: " << name;
  }
}

}  // namespace
