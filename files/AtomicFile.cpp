#include "files/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "link/UniqueFd.h"

namespace files {
namespace {

std::string Failure(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
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

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Fail(int error) {
  if (error_.empty()) error_ = Failure("无法写入", path_, error);
  Discard();
  return false;
}

bool AtomicFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  error_.clear();
  const mode_t mode = ModeFor(path);
  std::string pattern = path + ".XXXXXX";
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  temporary_ = pattern;
  stream_ = fdopen(fd, "w");
  if (stream_ == nullptr) {
    const int error = errno;
    close(fd);
    return Fail(error);
  }
  if (fchmod(fd, mode) != 0) return Fail(errno);
  return true;
}

bool AtomicFile::Write(std::string_view bytes) {
  if (stream_ == nullptr) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) return Fail(errno);
  return true;
}

bool AtomicFile::Commit() {
  if (stream_ == nullptr) return false;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0 || fsync(fileno(stream_)) != 0) {
    return Fail(errno != 0 ? errno : EIO);
  }
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (closed != 0) return Fail(errno);
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) return Fail(errno);
  temporary_.clear();
  // The rename itself reaches the disk with the folder.
  UniqueFd folder(open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) fsync(folder.Get());
  return true;
}

void AtomicFile::Discard() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
}

std::string WriteWholeFile(const std::string& path, std::string_view data) {
  AtomicFile file;
  if (file.Open(path) && file.Write(data) && file.Commit()) return {};
  return file.Error();
}

}  // namespace files
