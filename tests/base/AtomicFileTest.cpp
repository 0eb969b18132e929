// The one writer of every file against what a path may name: a link, a
// link to nowhere, a FIFO without a reader, a folder; and two writers
// claiming one name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "TextsInEnglish.h"
#include "base/AtomicFile.h"
#include "base/WholeFile.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Nothing but the names the case expects: no temporary left anywhere.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    names.push_back(entry.path().lexically_relative(folder).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class AtomicFileTest : public ::testing::Test {
 protected:
  fs::path root;
  void SetUp() override {
    root = fs::temp_directory_path() / ("korvelt-files-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "real");
  }
  void TearDown() override { fs::remove_all(root); }
};

TEST_F(AtomicFileTest, ALinkIsFollowedAndStaysALink) {
  struct Case {
    const char* name;
    const char* link;  // where the link "saved.json" points, from its folder
    bool exists;       // its target exists before the write
  };
  const Case cases[] = {
      {"relative link", "real/target.json", true},
      {"link to a file not yet there", "real/target.json", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root / "real");
    fs::remove(root / "saved.json");
    fs::create_directories(root / "real");
    const fs::path target = root / "real/target.json";
    if (c.exists) {
      std::ofstream(target) << "old";
      ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    }
    fs::create_symlink(c.link, root / "saved.json");
    ASSERT_EQ(base::WriteWholeFile((root / "saved.json").string(), "new"), "");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(root / "saved.json"))) << "the link is not replaced";
    EXPECT_EQ(Read(target), "new") << "its target is written";
    struct stat status {};
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    if (c.exists) {
      EXPECT_EQ(status.st_mode & 0777, 0640u) << "the target keeps its permissions";
    }
    EXPECT_EQ(Names(root), (std::vector<std::string>{"real", "real/target.json", "saved.json"}));
  }
}

// A FIFO or a device with a reader: korvelt record's test.
TEST_F(AtomicFileTest, AFifoWithoutReaderOrAFolderIsRefusedAndKept) {
  ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);
  fs::create_directory(root / "folder");
  for (const char* name : {"pipe", "folder"}) {
    const std::string error = base::WriteWholeFile((root / name).string(), "x");
    EXPECT_NE(error.find("无法写入 " + (root / name).string()), std::string::npos) << name << ": " << error;
  }
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(root / "pipe"))) << "not replaced";
  EXPECT_EQ(Names(root), (std::vector<std::string>{"folder", "pipe", "real"})) << "no temporary, no file made";
}

// A failure as one sentence, the path and the reasons where the language
// puts them; Chinese exactly as it always was.
TEST_F(AtomicFileTest, FailuresAreWordedInTheLanguageInUse) {
  const std::string inMissing = (root / "none/saved.json").string();
  const std::string big = (root / "big.json").string();
  std::ofstream(big) << std::string(2048, 'x');
  const auto fail = [&] {
    std::string data;
    return base::WriteWholeFile(inMissing, "x") + "|" + base::ReadWholeFile(big, 1024, data);
  };
  const std::string reason = std::strerror(ENOENT);
  EXPECT_EQ(fail(), "无法写入 " + inMissing + ": " + reason + "|" + big + ": 超过 1 kB, 不是参数文件");
  TextsInEnglish inEnglish;
  EXPECT_EQ(fail(),
            "Cannot write " + inMissing + ": " + reason + "|" + big + ": larger than 1 kB, not a parameter file");
}

TEST_F(AtomicFileTest, OneNameGoesToOneWriter) {
  const fs::path name = root / "backup.json";
  base::AtomicFile first;
  base::AtomicFile second;
  ASSERT_TRUE(first.Open(name.string()) && first.Write("first")) << first.Error();
  ASSERT_TRUE(second.Open(name.string()) && second.Write("second")) << second.Error();
  EXPECT_EQ(first.CommitNew(name.string()), base::AtomicFile::Claim::Claimed) << first.Error();
  EXPECT_EQ(second.CommitNew(name.string()), base::AtomicFile::Claim::Taken);
  EXPECT_EQ(second.CommitNew((root / "backup-2.json").string()), base::AtomicFile::Claim::Claimed);
  EXPECT_EQ(Read(name), "first") << "the second writer did not replace the first";
  EXPECT_EQ(Read(root / "backup-2.json"), "second");
  EXPECT_EQ(Names(root), (std::vector<std::string>{"backup-2.json", "backup.json", "real"}));
}

}  // namespace
