// A hostile driver (the real simulator serving identity texts of its
// choice as raw bytes) and hostile parameter files, through the real
// korvelt: nothing forged reaches the terminal, every object stays one
// object, the driver's bytes come back from the file exactly, and a driver
// without identification is still shown, saved and recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "PtyPair.h"
#include "paramfile/Document.h"

namespace {

using namespace std::chrono_literals;
namespace pf = paramfile;

// The simulator as a program on COM4 of a private ports folder.
class SimProgram {
 public:
  explicit SimProgram(const std::vector<std::string>& options) : sim_(Argv(options)) {
    const std::optional<std::string> said = sim_.ReadLine(10s);
    ready_ = said && said->rfind("korvelt-driver-sim: COM4 -> ", 0) == 0;
  }
  ~SimProgram() {
    sim_.Signal(SIGTERM);
    sim_.Wait(5s);
  }
  bool Ready() const { return ready_; }
  ChildProcess& Process() { return sim_; }
  std::string Folder() const { return data_.Path(); }

 private:
  std::vector<std::string> Argv(const std::vector<std::string>& options) const {
    std::vector<std::string> argv = {KORVELT_SIM_EXECUTABLE, "--ports", ports_.Path(), "--com", "4"};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
  }

  PortsFolder ports_;
  DataHome data_;
  ChildProcess sim_;
  bool ready_ = false;
};

KorveltRun On4(std::vector<std::string> args) {
  args.insert(args.begin(), {"--port", "COM4"});
  return RunKorvelt(args);
}

// What a terminal must never be handed from a driver: escape sequences, a
// carriage return or bell, and the raw bytes of a GBK text.
void ExpectClean(const std::string& shown, const std::string& what) {
  for (const char forged : {'\x1B', '\r', '\x07'}) {
    EXPECT_EQ(shown.find(forged), std::string::npos) << what << ": " << shown;
  }
  EXPECT_EQ(shown.find("\xD0\xCD"), std::string::npos) << what << ": " << shown;
}

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(HostileDriver, TextsReachTheTerminalPrintableAndTheFileExactly) {
  const struct {
    const char* name;
    std::vector<std::string> options;
    std::string model;  // as served
    std::vector<IdentityObject> objects;
  } cases[] = {
      {"escape sequences",
       {"--model", "A\\e[2J\\e]0;T\\x07", "--object", "0=\\e]0;pwned\\x07"},
       "A\x1B[2J\x1B]0;T\x07",
       {{0, "公司名称", "\x1B]0;pwned\x07"}}},
      {"a line break forging an object",
       {"--model", "M", "--object", "1=X\\r\\n产品代码:FAKE"},
       "M",
       {{1, "产品代码", "X\r\n产品代码:FAKE"}}},
      {"GBK", {"--model", "\\xD0\\xCD\\xBA\\xC5-48", "--object", "4=\\xD0\\xCD"}, "\xD0\xCD\xBA\xC5-48",
       {{4, "产品名称", "\xD0\xCD"}}},
      {"two objects of one name",
       {"--model", "M", "--object", "0x80=one", "--object", "0x81=two"},
       "M",
       {{0x80, "扩展描述", "one"}, {0x81, "扩展描述", "two"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimProgram sim(c.options);
    ASSERT_TRUE(sim.Ready());
    const KorveltRun info = On4({"info"});
    EXPECT_EQ(info.status, 0) << info.err;
    ExpectClean(info.out, "info");
    EXPECT_EQ(Lines(info.out), 7 + c.objects.size()) << "one row per object:\n" << info.out;
    const KorveltRun scan = On4({"scan", "--addresses", "1"});
    EXPECT_EQ(scan.status, 0) << scan.err;
    ExpectClean(scan.out, "scan");
    EXPECT_EQ(On4({"--json", "info"}).Json()["objects"].size(), c.objects.size());

    const std::string file = sim.Folder() + "/driver.json";
    const KorveltRun backup = On4({"backup", file});
    ASSERT_EQ(backup.status, 0) << backup.err;
    const pf::Loaded loaded = pf::LoadParamFile(file);
    ASSERT_TRUE(loaded.file && loaded.file->device) << loaded.refusal;
    EXPECT_EQ(loaded.file->device->Model(), c.model);
    EXPECT_EQ(loaded.file->device->objects, c.objects);

    const KorveltRun diff = On4({"diff", file});
    EXPECT_EQ(diff.status, 0) << diff.out << diff.err;
    EXPECT_EQ(diff.out, "") << "the same device";
    const KorveltRun restore = On4({"restore", file});
    EXPECT_EQ(restore.status, 0) << "no --force for its own file: " << restore.err;
    ExpectClean(restore.err, "restore");
  }
}

// A key of a parameter file is quoted printable and cut.
TEST(HostileFile, UnknownKeysAreQuotedPrintableAndCut) {
  SimProgram sim({});
  ASSERT_TRUE(sim.Ready());
  const std::string key = "\x1B[2J" + std::string(100000, 'k');
  const nlohmann::json fields = {{{"key", key}, {"text", "1"}}};
  const nlohmann::json files[] = {
      {{"format", "korvelt-parameters"}, {"version", 1}, {"blocks", {{key, nlohmann::json::object()}}}},
      {{"format", "korvelt-parameters"}, {"version", 1}, {"blocks", {{"ramp", {{"fields", fields}}}}}},
  };
  for (const nlohmann::json& document : files) {
    const std::string file = sim.Folder() + "/hostile.json";
    std::ofstream(file) << document.dump();
    const KorveltRun diff = On4({"diff", file});
    EXPECT_EQ(diff.status, 8);
    EXPECT_NE(diff.err.find("kkkk"), std::string::npos) << diff.err;
    EXPECT_LT(diff.err.size(), 600u) << "cut";
    ExpectClean(diff.err, "diff");
  }
}

// No answer at all, or an exception: the device information is shown and
// saved, the objects marked absent, and the reason said.
TEST(HostileDriver, WithoutIdentificationIsShownSavedAndRecorded) {
  const struct {
    const char* mode;
    int infoStatus;
    const char* reason;
  } cases[] = {{"silent", 4, "读取标识对象: 通讯超时"}, {"exception=1", 5, "读取标识对象: "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    SimProgram sim({"--identification", c.mode});
    ASSERT_TRUE(sim.Ready());
    const KorveltRun info = On4({"info"});
    EXPECT_EQ(info.status, c.infoStatus);
    EXPECT_EQ(Lines(info.out), 7u) << info.out;
    EXPECT_NE(info.out.find("KVB-4815-RS485-S"), std::string::npos);
    EXPECT_NE(info.err.find(c.reason), std::string::npos) << info.err;

    const std::string file = sim.Folder() + "/driver.json";
    const KorveltRun backup = On4({"backup", file});
    EXPECT_EQ(backup.status, 0) << backup.err;
    EXPECT_NE(backup.err.find(c.reason), std::string::npos) << backup.err;
    const pf::Loaded loaded = pf::LoadParamFile(file);
    ASSERT_TRUE(loaded.file && loaded.file->device) << loaded.refusal;
    EXPECT_EQ(loaded.file->blocks.size(), pf::BlockCount());
    EXPECT_NE(loaded.file->device->objectsAbsent.find(c.reason), std::string::npos);
    EXPECT_TRUE(loaded.file->device->objects.empty());
  }
}

// One driver, every document that names it: the parameter file, the
// recording's companion, `info --json`, the comparison and the scan (which
// reads the device-information block alone) carry its identity in one shape.
TEST(HostileDriver, EveryDocumentCarriesTheSameIdentity) {
  const struct {
    std::vector<std::string> options;
    const char* key;  // one the identity must hold
  } cases[] = {{{"--model", "\\xD0\\xCD\\xBA\\xC5-48", "--object", "4=\\xD0\\xCD"}, "textHex"},
               {{"--identification", "silent"}, "objectsAbsent"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    SimProgram sim(c.options);
    ASSERT_TRUE(sim.Ready());
    const nlohmann::json info = On4({"--json", "info"}).Json();
    EXPECT_NE(info.dump().find(c.key), std::string::npos) << info.dump();
    const std::string file = sim.Folder() + "/driver.json";
    ASSERT_EQ(On4({"backup", file}).status, 0);
    ASSERT_EQ(On4({"record", "--count", "1", sim.Folder() + "/run.csv"}).status, 0);
    const auto read = [](const std::string& path) { return nlohmann::json::parse(std::ifstream(path), nullptr, false); };
    const nlohmann::json diff = On4({"--json", "diff", file}).Json();
    EXPECT_EQ(read(file)["device"], info) << "parameter file";
    EXPECT_EQ(read(sim.Folder() + "/run.json")["device"], info) << "companion";
    EXPECT_EQ(diff["identity"]["device"], info) << "diff, the driver";
    EXPECT_EQ(diff["identity"]["file"], info) << "diff, the file";
    nlohmann::json texts = info;
    texts.erase("objects");
    texts.erase("objectsAbsent");
    EXPECT_EQ(On4({"--json", "scan", "--addresses", "1"}).Json()["found"][0]["device"], texts) << "scan";
  }
}

// The identity goes into the companion once the rows are in, so that a
// driver without identification does not hold back the first row.
TEST(HostileDriver, RecordReadsTheStatusBeforeTheIdentification) {
  SimProgram sim({"--identification", "silent", "--verbose"});
  ASSERT_TRUE(sim.Ready());
  const std::string csv = sim.Folder() + "/run.csv";
  const KorveltRun record = On4({"record", "--count", "2", csv});
  EXPECT_EQ(record.status, 0) << record.err;
  std::ifstream companion(sim.Folder() + "/run.json");
  const nlohmann::json document = nlohmann::json::parse(companion, nullptr, false);
  ASSERT_TRUE(document.is_object());
  EXPECT_EQ(document["device"]["fields"][fields::ModelField]["text"], "KVB-4815-RS485-S");
  EXPECT_TRUE(document["device"]["objects"].is_null());

  bool statusRead = false;
  std::optional<std::string> said;
  while ((said = sim.Process().ReadLine(5s)) && said->find("<- 01 2B") == std::string::npos) {
    statusRead = statusRead || said->find("<- 01 03 00 20 00 16") != std::string::npos;
  }
  ASSERT_TRUE(said) << "the identification was asked for";
  EXPECT_TRUE(statusRead) << "a status read went first";
}

}  // namespace
