#include "paramfile/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "link/UniqueFd.h"

namespace paramfile {
namespace {

std::string Failure(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The process's umask without changing it (umask() would, for every thread).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    unsigned mask = 0;
    if (std::sscanf(line.c_str(), "Umask: %o", &mask) == 1) return static_cast<mode_t>(mask);
  }
  return 022;
}

mode_t ModeFor(const std::string& path) {
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
  return 0666 & ~CurrentUmask();
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
  ~TemporaryFile() {
    if (!kept_) unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Name() const { return name_; }
  void Keep() { kept_ = true; }

 private:
  std::string name_;
  bool kept_ = false;
};

}  // namespace

std::string WriteWholeFile(const std::string& path, std::string_view data) {
  const mode_t mode = ModeFor(path);
  std::string pattern = path + ".XXXXXX";
  UniqueFd fd(mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd.Valid()) return Failure("无法写入", path, errno);
  TemporaryFile temporary(pattern);
  if (fchmod(fd.Get(), mode) != 0 || !WriteAll(fd.Get(), data) || fsync(fd.Get()) != 0) {
    return Failure("无法写入", path, errno);
  }
  // Flushed: a close has nothing left to report.
  fd.Reset();
  if (rename(temporary.Name().c_str(), path.c_str()) != 0) return Failure("无法写入", path, errno);
  temporary.Keep();
  // The rename itself reaches the disk with the folder.
  UniqueFd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) fsync(folder.Get());
  return {};
}

std::string ReadWholeFile(const std::string& path, size_t limit, std::string& data) {
  UniqueFd owned;
  int fd = STDIN_FILENO;
  if (path != "-") {
    owned = UniqueFd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!owned.Valid()) return Failure("无法打开", path, errno);
    fd = owned.Get();
  }
  std::string read;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure("无法读取", path, errno);
    if (n == 0) break;
    if (read.size() + static_cast<size_t>(n) > limit) {
      return path + ": 超过 " + std::to_string(limit / 1024) + " kB, 不是参数文件";
    }
    read.append(buffer, static_cast<size_t>(n));
  }
  data = std::move(read);
  return {};
}

}  // namespace paramfile
