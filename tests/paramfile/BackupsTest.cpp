// The backups' folder as other programs and people leave it: backups taken
// at the same time by two writers, files whose modification times lie,
// files of the user's own; the folder without HOME. And a parameter file
// with a key given twice.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "PtyPair.h"
#include "paramfile/Backups.h"
#include "paramfile/Document.h"
#include "paramfile/LocalTime.h"

namespace {

namespace fs = std::filesystem;
namespace pf = paramfile;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

TEST(Backups, TakenAtOnceEachGetsAFileOfItsOwn) {
  DataHome home;
  constexpr int kWriters = 4;
  constexpr int kRounds = 6;
  std::vector<std::vector<std::string>> paths(kWriters);
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&paths, w] {
      for (int r = 0; r < kRounds; ++r) {
        // The same model and second for all: the names collide.
        const pf::SavedBackup saved = pf::SaveBackup("{\"writer\": " + std::to_string(w * 100 + r) + "}",
                                                     "KVB", 1700000000, 1000);
        EXPECT_EQ(saved.error, "");
        paths[w].push_back(saved.path);
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  std::set<std::string> distinct;
  for (int w = 0; w < kWriters; ++w) {
    for (int r = 0; r < kRounds; ++r) {
      distinct.insert(paths[w][r]);
      std::ifstream in(paths[w][r]);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{\"writer\": " + std::to_string(w * 100 + r) + "}")
          << paths[w][r] << " holds the backup reported there";
    }
  }
  EXPECT_EQ(distinct.size(), size_t{kWriters * kRounds});
  EXPECT_EQ(Names(pf::BackupFolder()).size(), size_t{kWriters * kRounds}) << "no temporary left";
}

TEST(Backups, PruningGoesByTheNameKeepsTheNewOneAndOnlyTouchesBackups) {
  DataHome home;
  const std::string folder = pf::BackupFolder();
  fs::create_directories(folder);
  const std::time_t start = 1700000000;
  // Three backups whose modification times run against their names (copied,
  // or a clock corrected since), each newer than the backup about to be
  // taken; and files of the user's own, older still.
  const auto now = fs::file_time_type::clock::now();
  const std::string stems[] = {"KVB-" + pf::StampTime(start), "KVB-" + pf::StampTime(start + 60),
                               "KVB-" + pf::StampTime(start + 60) + "-2"};
  for (size_t i = 0; i < std::size(stems); ++i) {
    const fs::path path = fs::path(folder) / (stems[i] + ".json");
    std::ofstream(path) << "{}";
    fs::last_write_time(path, now + std::chrono::hours(24 * (10 - static_cast<int>(i))));
  }
  for (const char* name : {"notes.json", "line3.json", "KVB-2024.json", "KVB-20240101-120000.txt"}) {
    std::ofstream(fs::path(folder) / name) << "mine";
    fs::last_write_time(fs::path(folder) / name, now - std::chrono::hours(24 * 365));
  }
  const pf::SavedBackup saved = pf::SaveBackup("{}", "KVB", start + 120, 2);
  ASSERT_EQ(saved.error, "");
  EXPECT_TRUE(fs::exists(saved.path)) << "the backup just reported is there";
  EXPECT_EQ(Names(folder), (std::set<std::string>{stems[2] + ".json", fs::path(saved.path).filename().string(),
                                                   "notes.json", "line3.json", "KVB-2024.json",
                                                   "KVB-20240101-120000.txt"}))
      << "the oldest by name went, the user's files stayed";
}

TEST(Backups, WithoutHomeTheAccountsFolder) {
  DataHome data;
  unsetenv("XDG_DATA_HOME");
  const char* saved = std::getenv("HOME");
  const std::string previous = saved != nullptr ? saved : "";
  unsetenv("HOME");
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(pf::BackupFolder(), std::string(account->pw_dir) + "/.local/share/korvelt-demo/backups");
  if (saved != nullptr) setenv("HOME", previous.c_str(), 1);
}

TEST(ParamFileRead, RefusesAKeyGivenTwiceNamingIt) {
  struct Case {
    const char* text;
    const char* refusal;  // empty: loads
  };
  const Case cases[] = {
      {R"({"format": "korvelt-parameters", "version": 1, "blocks": {"ramp": {}, "ramp": {}}})", "\"ramp\" 出现了两次"},
      {R"({"format": "korvelt-parameters", "format": "x", "version": 1, "blocks": {}})", "\"format\" 出现了两次"},
      {R"({"format": "korvelt-parameters", "version": 1, "blocks": {"ramp": {"fields": [
           {"key": "pwmRise", "text": "1.0", "text": "2.0"}]}}})", "\"text\" 出现了两次"},
      // The same key in sibling objects, and in an object and its child, is no duplicate.
      {R"({"format": "korvelt-parameters", "version": 1, "blocks": {"ramp": {"fields": [
           {"key": "pwmRise", "text": "1.0"}, {"key": "pwmFall", "text": "1.0"}]},
           "motor": {"fields": []}}})", ""},
  };
  for (const Case& c : cases) {
    const pf::Loaded loaded = pf::ParseParamFile(c.text);
    if (*c.refusal == '\0') {
      EXPECT_TRUE(loaded.file.has_value()) << c.text << ": " << loaded.refusal;
    } else {
      EXPECT_FALSE(loaded.file.has_value()) << c.text;
      EXPECT_NE(loaded.refusal.find(c.refusal), std::string::npos) << loaded.refusal;
    }
  }
  // A key that would clear the operator's terminal is quoted printable.
  EXPECT_EQ(pf::ParseParamFile(R"({"\u001b[2J": 1, "\u001b[2J": 2})").refusal,
            "参数文件中的键 \"\xEF\xBF\xBD[2J\" 出现了两次");
}

}  // namespace
