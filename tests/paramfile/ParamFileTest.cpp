// The parameter file against the simulated driver's edge-value image: saved
// and loaded, every word comes back; the texts win over the words; a text
// the pages refuse refuses the file, naming the block and the field; a
// template of texts keeps every other word; a file from another model is
// noticed; written blocks are read back and compared.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <bit>

#include <filesystem>
#include <fstream>

#include "SimulatedLine.h"
#include "fields/DeviceInfoTexts.h"
#include "fields/NumberText.h"
#include "paramfile/LocalTime.h"
#include "paramfile/Restore.h"
#include "base/AtomicFile.h"
#include "base/WholeFile.h"
#include "lang/Texts.h"

namespace {

namespace pf = paramfile;
using nlohmann::ordered_json;

class ParamFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(link.OpenPort(1, 9600, Parity::None2), 0);
    ASSERT_TRUE(pf::ReadDevice(link, 1, pf::AllBlocks(), true, {}, device).Done());
  }

  // The device saved as a file, as a document to edit.
  ordered_json Saved() const {
    return ordered_json::parse(pf::DeviceDocument(device, pf::HeaderNow({"test", {"COM1", 9600, Parity::None2}, "", 1})));
  }

  // The file's words on `onto`, or the refusal.
  static pf::Resolved Load(const ordered_json& document, const pf::BlockWords& onto) {
    const pf::Loaded loaded = pf::ParseParamFile(document.dump());
    if (!loaded.file) return {pf::NoBlocks(), loaded.refusal};
    return pf::Resolve(*loaded.file, onto);
  }

  static ordered_json& Field(ordered_json& document, const char* block, const char* key) {
    for (ordered_json& field : document["blocks"][block]["fields"]) {
      if (field["key"] == key) return field;
    }
    throw std::runtime_error(std::string("no field ") + key);
  }

  static size_t Index(const char* block) { return *pf::BlockIndex(block); }

  SimulatedLine line{1, sim::DriverOptions{.learned = true, .edgeValues = true}};
  DriverLink link;
  pf::DeviceImage device;
};

TEST_F(ParamFileTest, EveryBlockOfTheEdgeImageComesBackWordForWord) {
  // Onto other words, so that the file's words alone can bring them back.
  pf::BlockWords zeros = pf::NoBlocks();
  for (size_t i = 0; i < pf::BlockCount(); ++i) zeros[i].assign(pf::BlockAt(i).spec->count, 0);
  const pf::Resolved resolved = Load(Saved(), zeros);
  ASSERT_EQ(resolved.refusal, "");
  for (size_t i = 0; i < pf::BlockCount(); ++i) {
    EXPECT_EQ(resolved.words[i], device.blocks[i]) << pf::BlockAt(i).key;
    for (uint16_t w = 0; w < pf::BlockAt(i).spec->count; ++w) {
      ASSERT_EQ(device.blocks[i][w], line.Driver().Register(pf::BlockAt(i).spec->start + w)) << pf::BlockAt(i).key;
    }
  }
  const pf::Loaded loaded = pf::ParseParamFile(Saved().dump());
  ASSERT_TRUE(loaded.file && loaded.file->device);
  EXPECT_EQ(loaded.file->device->Identity(), "0x0A31");
  EXPECT_FALSE(loaded.file->device->objects.empty());
  EXPECT_EQ(pf::Compare(device.blocks, resolved.words).size(), 0u);
}

// A file edited by hand, or written as a template: what each case changes,
// and the words that then differ from the device's (or the refusal).
struct EditCase {
  const char* name;
  std::function<void(ordered_json&)> edit;
  std::vector<std::pair<std::string, uint16_t>> changed;  // block key and word index
  const char* refusal;
};

TEST_F(ParamFileTest, TheTextsWinAndTheirEntryRulesDecide) {
  const auto text = [](const char* block, const char* key, const char* value) {
    return [=](ordered_json& file) { Field(file, block, key)["text"] = value; };
  };
  const EditCase cases[] = {
      {"an unedited file", [](ordered_json&) {}, {}, ""},
      {"an edited number", text("motor", "ratedCurrent", "1.5"), {{"motor", 10}}, ""},
      {"a list item by its text", text("system", "serialParity", "奇校验+1停止位"), {{"system", 18}}, ""},
      {"a switch by 0 keeps its other bits", text("system", "alarmDisabled", "0"), {{"system", 25}}, ""},
      // The speeds' texts are taken at the new scale, as the page takes them.
      {"the torque scale given up for tenths",
       [](ordered_json& file) {
         Field(file, "preset-speed", "speedMode")["text"] = "占空比";
         Field(file, "preset-speed", "forwardSpeed")["text"] = "12.3";
       },
       {{"preset-speed", 0}, {"preset-speed", 2}, {"preset-speed", 3}},
       ""},
      {"a field by its name",
       [](ordered_json& file) { file["blocks"]["pid"]["fields"] = {{{"name", "速度PID参数 Ki"}, {"text", "0.25"}}}; },
       {{"pid", 8}, {"pid", 9}},
       ""},
      {"a float no entry can carry, unedited",
       [](ordered_json& file) {
         file["blocks"]["pid"]["words"][0] = 0x7FC0;  // NaN
         file["blocks"]["pid"]["words"][1] = 0;
         Field(file, "pid", "holdKp")["text"] = fields::FormatFloat(std::bit_cast<float>(0x7FC00000u), fields::FloatText::General);
       },
       {{"pid", 0}, {"pid", 1}},
       ""},
      {"a number out of range", text("motor", "gearRatio", "6553.6"), {},
       "电机参数配置: 减速器减速比: 请输入 0.0 到 6553.5 之间的数值"},
      {"no such item", text("reciprocate", "resetMode", "SQ3复位"), {},
       "往复过程控制: 复位方式: 请选择 不复位、SQ2复位、SQ1复位 之一"},
      {"a rate the device does not have", text("system", "serialBaud", "28800"), {},
       "系统参数配置: 串口波特率: 请选择 9600、19200、38400、57600、115200、14400 之一"},
      {"a switch that is neither", text("system", "alarmDisabled", "yes"), {}, "系统参数配置: 禁用报警: 请输入 是 或 否"},
      {"no such field", [](ordered_json& file) { file["blocks"]["ramp"]["fields"].push_back({{"key", "jerk"}, {"text", "1"}}); },
       {}, "PWM方式缓冲/闭环方式加速度: 没有字段 \"jerk\""},
      {"words short of the block", [](ordered_json& file) { file["blocks"]["ramp"]["words"].erase(0); }, {},
       "PWM方式缓冲/闭环方式加速度: words 应为 4 个"},
      {"a word beyond 16 bits", [](ordered_json& file) { file["blocks"]["ramp"]["words"][0] = 65536; }, {},
       "words 应为 4 个 0 到 65535"},
      {"another start", [](ordered_json& file) { file["blocks"]["pid"]["start"] = 0xBB; }, {}, "闭环控制参数: start 应为 186"},
      {"an unknown block", [](ordered_json& file) { file["blocks"]["status"] = ordered_json::object(); }, {},
       "未知的参数块 \"status\""},
      {"another version", [](ordered_json& file) { file["version"] = 2; }, {}, "参数文件的版本 2 不受支持"},
      {"no format", [](ordered_json& file) { file.erase("format"); }, {}, "不是参数文件"},
  };
  for (const EditCase& c : cases) {
    ordered_json file = Saved();
    c.edit(file);
    const pf::Resolved resolved = Load(file, device.blocks);
    if (*c.refusal != '\0') {
      EXPECT_NE(resolved.refusal.find(c.refusal), std::string::npos) << c.name << ": " << resolved.refusal;
      continue;
    }
    ASSERT_EQ(resolved.refusal, "") << c.name;
    std::vector<std::pair<std::string, uint16_t>> changed;
    for (size_t i = 0; i < pf::BlockCount(); ++i) {
      for (uint16_t w = 0; w < device.blocks[i].size(); ++w) {
        if (resolved.words[i][w] != device.blocks[i][w]) changed.emplace_back(pf::BlockAt(i).key, w);
      }
    }
    EXPECT_EQ(changed, c.changed) << c.name;
  }
}

TEST_F(ParamFileTest, EditedWordsAreWhatTheEditSays) {
  ordered_json file = Saved();
  Field(file, "motor", "ratedCurrent")["text"] = " 1.5 ";
  Field(file, "preset-speed", "speedMode")["text"] = "占空比";
  Field(file, "preset-speed", "forwardSpeed")["text"] = "12.3";
  Field(file, "system", "alarmDisabled")["text"] = "否";
  const pf::Resolved resolved = Load(file, device.blocks);
  ASSERT_EQ(resolved.refusal, "");
  EXPECT_EQ(resolved.words[Index("motor")][10], 150);
  EXPECT_EQ(resolved.words[Index("preset-speed")][2], 123) << "12.3 at 0.1";
  EXPECT_EQ(resolved.words[Index("system")][25], 0x0002) << "bit 0 cleared, bit 1 kept";
}

TEST_F(ParamFileTest, ATemplateOfTextsFitsAnyDeviceAndKeepsItsOtherWords) {
  const ordered_json file = {
      {"format", "korvelt-parameters"},
      {"version", 1},
      {"blocks", {{"ramp", {{"fields", {{{"key", "acceleration"}, {"text", "100"}}}}}}}},
  };
  const pf::Loaded loaded = pf::ParseParamFile(file.dump());
  ASSERT_TRUE(loaded.file) << loaded.refusal;
  pf::Comparison comparison;
  std::vector<size_t> blocks;
  ASSERT_EQ(pf::BlocksOfFile(*loaded.file, {}, blocks), "");
  ASSERT_EQ(pf::CompareWithFile(*loaded.file, device, blocks, comparison), "");
  EXPECT_FALSE(comparison.modelDiffers);
  ASSERT_EQ(comparison.rows.size(), 1u);
  EXPECT_EQ(comparison.rows[0].key, "acceleration");
  pf::Words expected = device.blocks[Index("ramp")];
  expected[2] = 1000;
  EXPECT_EQ(comparison.file[Index("ramp")], expected);
  EXPECT_TRUE(comparison.file[Index("motor")].empty()) << "a block the file lacks is not touched";
}

TEST_F(ParamFileTest, AFileFromAnotherModelIsNoticed) {
  ordered_json file = Saved();
  file["device"]["fields"][fields::ModelField]["text"] = "KVB-2410-RS485";
  const pf::Loaded loaded = pf::ParseParamFile(file.dump());
  ASSERT_TRUE(loaded.file);
  pf::Comparison comparison;
  ASSERT_EQ(pf::CompareWithFile(*loaded.file, device, pf::AllBlocks(), comparison), "");
  EXPECT_TRUE(comparison.modelDiffers);
  EXPECT_TRUE(comparison.identityDiffers);
  EXPECT_TRUE(comparison.rows.empty()) << "the parameters are the same";
}

// A reserved register, a bit beside a switch's bit 0 and a list value no
// item has all differ although no text shows it.
TEST_F(ParamFileTest, WordsNoTextShowsStillDiffer) {
  pf::BlockWords other = device.blocks;
  other[Index("system")][15] ^= 0x0100;  // 0x008F, reserved
  other[Index("system")][25] ^= 0x0004;  // 禁用报警, another bit
  other[Index("system")][0] = 7;         // 限位触发极性, beyond its items as well
  const std::vector<pf::Difference> rows = pf::Compare(device.blocks, other);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].key, "limitTriggerPolarity");
  EXPECT_EQ(rows[0].file, "(0x0007)");
  EXPECT_EQ(rows[1].key, "alarmDisabled");
  EXPECT_EQ(rows[1].device, "是 (0x0003)");
  EXPECT_EQ(rows[1].file, "是 (0x0007)");
  EXPECT_EQ(rows[2].key, "0x008F");
  EXPECT_EQ(rows[2].name, "寄存器 0x008F");
}

TEST_F(ParamFileTest, OnlyTheDifferingBlocksAreWrittenTheSystemBlockLastEachReadBack) {
  pf::BlockWords file = device.blocks;
  file[Index("system")][14] = 50;  // 堵转停机时间 5.0 s
  file[Index("pid")][0] ^= 0x0001;
  file[Index("ramp")][1] = 30;
  const std::vector<pf::Difference> rows = pf::Compare(device.blocks, file);
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(rows[0].block, Index("ramp"));
  // The ramp's row not ticked: its block keeps the device's words and is not written.
  const pf::BlockWords plan = pf::ChosenWords(device.blocks, file, rows, {false, true, true});
  EXPECT_TRUE(plan[Index("ramp")].empty());
  const pf::RestoreReport report = pf::WriteAndCheck(link, 1, plan, pf::Learning::Kept, {});
  EXPECT_TRUE(report.Verified()) << report.end.Message();
  EXPECT_EQ(report.written, (std::vector<size_t>{Index("pid"), Index("system")}));
  EXPECT_EQ(report.readBack[Index("system")], file[Index("system")]);
  EXPECT_EQ(line.Driver().Register(0x008E), 50);
  EXPECT_EQ(line.Driver().Register(0x0051), device.blocks[Index("ramp")][1]);

  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));
  const pf::RestoreReport failed = pf::WriteAndCheck(link, 1, plan, pf::Learning::Kept, {});
  EXPECT_FALSE(failed.Verified());
  EXPECT_TRUE(failed.written.empty());
  EXPECT_EQ(failed.end.Message(), "写入闭环控制参数: 通讯超时");
}

// One language for a part of a test, Chinese again after it.
struct InLanguage {
  explicit InLanguage(lang::Language language) { EXPECT_EQ(lang::Use(language), ""); }
  ~InLanguage() { lang::Use(lang::Language::Chinese); }
};

bool HasIdeograph(const std::string& text) {  // a lead byte of U+4000 to U+9FFF
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= '\xE4' && c <= '\xE9'; });
}

// Saved in one language, a file loads in the other to the very words: by
// its words, by its texts alone (an item, a switch), a field by its name.
TEST_F(ParamFileTest, AFileSavedInOneLanguageLoadsInTheOtherWithNoDifference) {
  using lang::Language;
  for (const Language saving : {Language::English, Language::Chinese}) {
    ordered_json file;
    {
      const InLanguage in(saving);
      file = Saved();
    }
    for (const auto& [key, block] : file["blocks"].items()) {
      for (const ordered_json& field : block["fields"]) {
        EXPECT_TRUE(saving == Language::Chinese || !HasIdeograph(field.dump())) << field.dump();
      }
    }
    const InLanguage in(saving == Language::English ? Language::Chinese : Language::English);
    const pf::Resolved resolved = Load(file, device.blocks);
    ASSERT_EQ(resolved.refusal, "");
    EXPECT_TRUE(pf::Compare(device.blocks, resolved.words).empty());

    ordered_json texts = file;
    for (auto& [key, block] : texts["blocks"].items()) block.erase("words");
    pf::BlockWords other = device.blocks;
    other[Index("system")][18] = other[Index("system")][18] == 1 ? 2 : 1;  // 校验方式
    other[Index("system")][25] ^= 0x0001;                                 // 禁用报警
    EXPECT_EQ(Load(texts, other).words[Index("system")], device.blocks[Index("system")]);

    ordered_json byName = file;
    Field(file, "pid", "speedKi")["text"] = "0.25";
    Field(byName, "pid", "speedKi") = {{"name", Field(byName, "pid", "speedKi")["name"]}, {"text", "0.25"}};
    const pf::Resolved named = Load(byName, device.blocks);
    EXPECT_EQ(named.words, Load(file, device.blocks).words) << named.refusal;
    EXPECT_NE(named.words[Index("pid")], device.blocks[Index("pid")]);
  }
}

TEST_F(ParamFileTest, RefusalsInEnglishNameTheFieldAndWhatItTakes) {
  const InLanguage english(lang::Language::English);
  const auto text = [](const char* block, const char* key, const char* value) {
    return [=](ordered_json& file) { Field(file, block, key)["text"] = value; };
  };
  const EditCase cases[] = {
      {"out of range", text("motor", "gearRatio", "6553.6"), {},
       "Motor parameter settings: Gear ratio: enter a value from 0.0 to 6553.5"},
      {"an item neither language has", text("reciprocate", "resetMode", "SQ3复位"), {},
       "Reciprocation control: Homing mode: choose one of No homing, Home to SQ2, Home to SQ1"},
      {"a rate the device lacks", text("system", "serialBaud", "28800"), {},
       "System parameter settings: Serial baud rate: choose one of 9600, 19200, 38400, 57600, 115200, 14400"},
      {"neither switch text", text("system", "alarmDisabled", "yes"), {},
       "System parameter settings: Disable alarm: enter Yes or No"},
      {"phase order short", text("motor", "phaseOrder", "01 02 03"), {},
       "Motor parameter settings: Motor phase order: enter 6 hexadecimal numbers (00 to FF) separated by spaces"},
      {"by key and by Chinese name",
       [](ordered_json& file) { file["blocks"]["pid"]["fields"] = {{{"key", "speedKi"}, {"text", "1"}},
                                                                   {{"name", "速度PID参数 Ki"}, {"text", "2"}}}; },
       {}, "Closed-loop control parameters: Speed PID Ki: given twice"},
  };
  for (const EditCase& c : cases) {
    ordered_json file = Saved();
    c.edit(file);
    EXPECT_EQ(Load(file, device.blocks).refusal, c.refusal) << c.name;
  }
}

TEST(WholeFile, ReplacedWholeOrNotAtAll) {
  DataHome home;  // a private folder
  const std::string path = home.Path() + "/saved.json";
  ASSERT_EQ(base::WriteWholeFile(path, "first"), "");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(base::WriteWholeFile(path, "second"), "");
  std::string read;
  ASSERT_EQ(base::ReadWholeFile(path, 100, read), "");
  EXPECT_EQ(read, "second");
  struct stat status {};
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u) << "the file keeps its permissions";

  // A rename that fails (a folder in the way), a folder that is not there.
  std::filesystem::create_directory(home.Path() + "/taken");
  EXPECT_NE(base::WriteWholeFile(home.Path() + "/taken", "x"), "");
  EXPECT_NE(base::WriteWholeFile(home.Path() + "/missing/saved.json", "x"), "");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(home.Path())) ++entries;
  EXPECT_EQ(entries, 2u) << "no temporary file left behind";
  EXPECT_NE(base::ReadWholeFile(path, 3, read), "") << "longer than the bound";
}

TEST(Backups, GoToTheDataFolderNamedByModelAndTimeTheNewestKept) {
  DataHome home;
  const std::time_t start = 1700000000;
  std::vector<std::string> paths;
  for (const std::time_t t : {start, start + 1, start + 2, start + 2}) {
    const pf::SavedBackup saved = pf::SaveBackup("{}", "KVB/4815 *", t, 3);
    ASSERT_EQ(saved.error, "");
    paths.push_back(saved.path);
  }
  const std::string folder = home.Path() + "/korvelt-demo/backups";
  EXPECT_EQ(pf::BackupFolder(), folder);
  EXPECT_EQ(paths[2], folder + "/KVB_4815-" + pf::StampTime(start + 2) + ".json");
  EXPECT_EQ(paths[3], folder + "/KVB_4815-" + pf::StampTime(start + 2) + "-2.json") << "not over the one before";
  EXPECT_FALSE(std::filesystem::exists(paths[0])) << "the oldest went";
  for (size_t i = 1; i < paths.size(); ++i) EXPECT_TRUE(std::filesystem::exists(paths[i])) << paths[i];
  EXPECT_EQ(pf::FileStem("", start), "driver-" + pf::StampTime(start));
}

}  // namespace
