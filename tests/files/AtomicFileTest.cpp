// The one writer of every file against what a path may name: a link, a
// link to nowhere, a FIFO with and without a reader, a character device, a
// folder; and two writers claiming one name.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "PtyPair.h"
#include "files/AtomicFile.h"
#include "link/UniqueFd.h"

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
    const char* link;  // where the link "saved.json" points
    bool exists;       // its target exists before the write
  };
  const Case cases[] = {
      {"relative link", "real/target.json", true},
      {"absolute link", nullptr, true},
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
    fs::create_symlink(c.link != nullptr ? fs::path(c.link) : target, root / "saved.json");
    ASSERT_EQ(files::WriteWholeFile((root / "saved.json").string(), "new"), "");
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

TEST_F(AtomicFileTest, ADeviceOrAFifoIsWrittenInPlaceNeverReplaced) {
  // A FIFO with a reader takes the bytes; one without is refused at once.
  const fs::path fifo = root / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string error = files::WriteWholeFile(fifo.string(), "rows");
  EXPECT_NE(error.find("无法写入 " + fifo.string()), std::string::npos) << "nobody reads it: " << error;
  std::string got;
  std::thread reader([&] {
    UniqueFd in(open(fifo.c_str(), O_RDONLY | O_CLOEXEC));
    char buffer[16];
    for (ssize_t n; (n = read(in.Get(), buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<size_t>(n));
  });
  // The reader opens in its own time; until then the writer is refused.
  bool written = false;
  for (int i = 0; i < 500 && !written; ++i) {
    written = files::WriteWholeFile(fifo.string(), "rows").empty();
    if (!written) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  reader.join();
  EXPECT_TRUE(written);
  EXPECT_EQ(got, "rows");

  // A character device of the test's own (the system's null device, made
  // here so that a writer that replaces nodes cannot touch /dev/null).
  const fs::path device = root / "null";
  const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  if (haveDevice) {
    files::AtomicFile null;
    ASSERT_TRUE(null.Open(device.string())) << null.Error();
    EXPECT_TRUE(null.InPlace());
    EXPECT_TRUE(null.Write("x") && null.Commit()) << null.Error();
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(device))) << "the device stays a device";
  }

  // A folder in the way is refused, and left as it is.
  fs::create_directory(root / "folder");
  error = files::WriteWholeFile((root / "folder").string(), "x");
  EXPECT_NE(error.find("不是普通文件"), std::string::npos) << error;
  for (const char* name : {"pipe", "folder"}) {
    const fs::file_status kept = fs::symlink_status(root / name);
    EXPECT_TRUE(fs::is_fifo(kept) || fs::is_directory(kept)) << name << " keeps what it is";
  }
  std::vector<std::string> expected = {"folder", "null", "pipe", "real"};
  if (!haveDevice) expected.erase(expected.begin() + 1);
  EXPECT_EQ(Names(root), expected) << "no temporary, no file made";
}

TEST_F(AtomicFileTest, OneNameGoesToOneWriter) {
  const fs::path name = root / "backup.json";
  files::AtomicFile first;
  files::AtomicFile second;
  ASSERT_TRUE(first.Open(name.string()) && first.Write("first")) << first.Error();
  ASSERT_TRUE(second.Open(name.string()) && second.Write("second")) << second.Error();
  EXPECT_EQ(first.CommitNew(name.string()), files::AtomicFile::Claim::Claimed) << first.Error();
  EXPECT_EQ(second.CommitNew(name.string()), files::AtomicFile::Claim::Taken);
  EXPECT_EQ(second.CommitNew((root / "backup-2.json").string()), files::AtomicFile::Claim::Claimed);
  EXPECT_EQ(Read(name), "first") << "the second writer did not replace the first";
  EXPECT_EQ(Read(root / "backup-2.json"), "second");
  EXPECT_EQ(Names(root), (std::vector<std::string>{"backup-2.json", "backup.json", "real"}));
}

}  // namespace
