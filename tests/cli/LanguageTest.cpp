// korvelt in each language, run as a user runs it against the simulated
// driver: the choice (--lang before or after the command, else the
// locale), the text output, messages, usage errors and help, and JSON that
// keeps its keys and codes whatever the language.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "SimulatedLine.h"
#include "lang/Texts.h"

namespace {

// korvelt with `environment` ("NAME=value") added to the tests' own.
KorveltRun RunIn(const std::vector<std::string>& environment, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/env"};
  argv.insert(argv.end(), environment.begin(), environment.end());
  argv.push_back(KORVELT_CLI_EXECUTABLE);
  argv.insert(argv.end(), args.begin(), args.end());
  const ProgramResult result = RunProgram(argv, std::chrono::seconds(20), true);
  return {result.exitStatus, result.output, result.errors};
}

struct LanguageCase {
  const char* name;
  std::vector<std::string> environment;
  std::vector<std::string> args;
  int status;
  const char* out;  // found on standard output
  const char* err;  // found on standard error
};

TEST(KorveltLanguage, EveryOutputInTheChosenLanguage) {
  const std::vector<std::string> scan = {"--port", "COM2", "scan", "--addresses", "1"};
  const auto with = [&scan](std::vector<std::string> more) {
    more.insert(more.begin(), scan.begin(), scan.end());
    return more;
  };
  const LanguageCase cases[] = {
      {"C is Chinese", {"LANG=C"}, scan, 0, "地址  波特率  校验", "找到 1 台"},
      {"a Chinese locale", {"LANG=zh_CN.UTF-8"}, scan, 0, "地址  波特率", "找到 1 台"},
      {"an English locale", {"LANG=en_US.UTF-8"}, scan, 0, "Address  Baud rate  Parity", "1 found"},
      {"LC_ALL over LANG", {"LANG=zh_CN.UTF-8", "LC_ALL=de_DE.UTF-8"}, scan, 0, "Address", "1 found"},
      {"--lang after the command", {"LANG=C"}, with({"--lang", "en"}), 0, "Address", "1 found"},
      {"--lang over the locale", {"LANG=en_US.UTF-8"}, with({"--lang=zh"}), 0, "地址", "找到 1 台"},
      {"no catalogue: Chinese", {"KORVELT_LOCALEDIR=/nonexistent"}, with({"--lang", "en"}), 0, "地址", "无法读取消息目录"},
      {"refused value", {}, {"--port", "COM2", "--baud", "1234", "status"}, 2, "", "--baud: 1234 不是可选值之一"},
      {"refused value, English", {}, {"--lang", "en", "--baud", "1234", "status"}, 2, "", "--baud: 1234 is not one of"},
      {"no command", {"LANG=en_US.UTF-8"}, {"--port", "COM2"}, 2, "", "A command is required: ports, info, status"},
      {"extra argument", {}, {"status", "now", "--lang", "en"}, 2, "", "Unexpected arguments: now"},
      {"missing value", {}, {"status", "--port"}, 2, "", "--port: 缺少值"},
      {"unknown language", {"LANG=C"}, {"--lang", "fr", "status"}, 2, "", "--lang: fr 不是可选值之一: zh, en"},
      {"unknown language, English locale", {"LANG=en_US.UTF-8"}, {"--lang", "fr", "status"}, 2, "", "Run with --help"},
      {"missing port", {}, {"--lang", "en", "--port", "COM9", "status"}, 3, "", "COM9"},
      {"help", {}, {"status", "--help"}, 0, "用法: korvelt status [选项]", ""},
      {"help, English", {}, {"status", "--help", "--lang", "en"}, 0, "Usage: korvelt status [OPTIONS]", ""},
      {"options' descriptions", {"LANG=en_US.UTF-8"}, {"--help"}, 0, "--lang zh|en", ""},
  };
  SimulatedLine line(2);
  for (const LanguageCase& c : cases) {
    const KorveltRun run = RunIn(c.environment, c.args);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << c.name << ": " << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.name << ": " << run.err;
  }
}

// What English changes in a document is the words a person reads; what a
// script reads stays byte for byte.
TEST(KorveltLanguage, JsonKeepsKeysCodesAndShape) {
  SimulatedLine line(2);
  const std::vector<std::string> write = {"--port", "COM2", "--json", "write", "ramp", "pwmRise=1.0"};
  const KorveltRun chinese = RunIn({}, write);
  ASSERT_EQ(chinese.status, 0) << chinese.err;
  std::vector<std::string> english = write;
  english.insert(english.end(), {"--lang", "en"});
  EXPECT_EQ(RunIn({}, english).out, chinese.out) << "a verified write says only codes";

  // A status read of a standing motor: the same document but for each
  // field's words, which are the catalogue's English of the Chinese ones.
  const nlohmann::json zh = RunKorvelt({"--port", "COM2", "--json", "status", "--lang", "zh"}).Json();
  nlohmann::json en = RunKorvelt({"--port", "COM2", "--json", "status", "--lang", "en"}).Json();
  ASSERT_EQ(en["fields"].size(), zh["fields"].size());
  ASSERT_EQ(lang::Use(lang::Language::English), "");
  for (size_t i = 0; i < zh["fields"].size(); ++i) {
    nlohmann::json& field = en["fields"][i];
    // The analog inputs move between two reads: a value that moved is
    // taken from the first read, its text then compared as the number.
    const bool moved = field.value("value", 0.0) != zh["fields"][i].value("value", 0.0);
    if (moved) field["value"] = zh["fields"][i]["value"];
    for (const char* words : {"name", "text", "unit"}) {
      if (!(moved && std::string(words) == "text")) {
        EXPECT_EQ(field[words], lang::Tr(zh["fields"][i][words].get<std::string>())) << i << " " << words;
      }
      field[words] = zh["fields"][i][words];
    }
  }
  lang::Use(lang::Language::Chinese);
  EXPECT_EQ(en.dump(), zh.dump());
}

}  // namespace
