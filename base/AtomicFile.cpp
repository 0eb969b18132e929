#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>

#include "base/UniqueFd.h"
#include "lang/Texts.h"

namespace base {
namespace {

// As many links as the kernel itself follows in one path.
constexpr int kMaxLinks = 40;

std::string Failure(const std::string& path, int error) {
  return lang::Fill(lang::Tr("无法写入 {1}: {2}"), {path, std::strerror(error)});
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

// What writing `path` reaches: the path at the end of its symbolic links
// (a relative link read from its own folder) and, when something is there,
// what it is. 0 on success, else the errno.
struct Target {
  std::string path;
  bool exists = false;
  struct stat status {};
};
int Follow(const std::string& path, Target& target) {
  std::string current = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat status {};
    if (lstat(current.c_str(), &status) != 0) {
      if (errno != ENOENT) return errno;
      // A new file, or the missing end of a link: created there.
      target = {current, false, {}};
      return 0;
    }
    if (!S_ISLNK(status.st_mode)) {
      target = {current, true, status};
      return 0;
    }
    char link[PATH_MAX];
    const ssize_t length = readlink(current.c_str(), link, sizeof link);
    if (length < 0) return errno;
    if (static_cast<size_t>(length) >= sizeof link) return ENAMETOOLONG;
    const std::string next(link, static_cast<size_t>(length));
    current = next[0] == '/' ? next : FolderOf(current) + "/" + next;
  }
  return ELOOP;
}

// Opens a device or a FIFO for writing without waiting: a FIFO that nobody
// reads would otherwise hold the caller for ever.
int OpenInPlace(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

void SyncFolder(const std::string& path) {
  UniqueFd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) fsync(folder.Get());
}

// A file system without hard links (FAT, some network shares) refuses
// link(2) with one of these.
bool NoHardLinks(int error) {
  return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK ||
         error == EXDEV;
}

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Fail(int error) {
  if (error_.empty()) error_ = Failure(path_, error);
  Discard();
  return false;
}

bool AtomicFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  error_.clear();
  inPlace_ = false;
  finished_ = false;
  Target target;
  if (const int error = Follow(path, target); error != 0) return Fail(error);
  target_ = target.path;
  int fd = -1;
  if (target.exists && (S_ISCHR(target.status.st_mode) || S_ISFIFO(target.status.st_mode))) {
    fd = OpenInPlace(target_);
    if (fd < 0) return Fail(errno);
    inPlace_ = true;
  } else if (target.exists && !S_ISREG(target.status.st_mode)) {
    error_ = lang::Fill(lang::Tr("无法写入 {1}: 不是普通文件"), {path_});
    return false;
  } else {
    const mode_t mode = target.exists ? (target.status.st_mode & 07777) : (0666 & ~CurrentUmask());
    std::string pattern = target_ + ".XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return Fail(errno);
    temporary_ = pattern;
    if (fchmod(fd, mode) != 0) {
      const int error = errno;
      close(fd);
      return Fail(error);
    }
  }
  stream_ = fdopen(fd, "w");
  if (stream_ == nullptr) {
    const int error = errno;
    close(fd);
    return Fail(error);
  }
  return true;
}

bool AtomicFile::Write(std::string_view bytes) {
  if (stream_ == nullptr) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) return Fail(errno);
  return true;
}

// Everything written reaches the disk (a file) or the device, and the
// stream closes.
bool AtomicFile::Finish() {
  if (finished_) return true;
  if (stream_ == nullptr) return false;
  errno = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) return Fail(errno != 0 ? errno : EIO);
  // A device has no disk to reach (fsync of /dev/null is an error).
  if (!inPlace_ && fsync(fileno(stream_)) != 0) return Fail(errno);
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (closed != 0) return Fail(errno);
  finished_ = true;
  return true;
}

bool AtomicFile::Commit() {
  if (!Finish()) return false;
  if (inPlace_) return true;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(errno);
  temporary_.clear();
  // The rename itself reaches the disk with the folder.
  SyncFolder(target_);
  return true;
}

AtomicFile::Claim AtomicFile::CommitNew(const std::string& path) {
  if (inPlace_ || temporary_.empty()) {
    if (error_.empty()) error_ = Failure(path, EINVAL);
    return Claim::Failed;
  }
  if (!Finish()) return Claim::Failed;
  // link(2) gives the name only if nobody has it, and the file is complete
  // the moment it has it.
  if (link(temporary_.c_str(), path.c_str()) == 0) {
    unlink(temporary_.c_str());
    temporary_.clear();
    SyncFolder(path);
    return Claim::Claimed;
  }
  if (errno == EEXIST) return Claim::Taken;
  if (!NoHardLinks(errno)) {
    path_ = path;
    Fail(errno);
    return Claim::Failed;
  }
  // Without hard links: the name is claimed empty, then the file renamed
  // onto it.
  UniqueFd claimed(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!claimed.Valid()) {
    if (errno == EEXIST) return Claim::Taken;
    path_ = path;
    Fail(errno);
    return Claim::Failed;
  }
  if (std::rename(temporary_.c_str(), path.c_str()) != 0) {
    const int error = errno;
    unlink(path.c_str());
    path_ = path;
    Fail(error);
    return Claim::Failed;
  }
  temporary_.clear();
  SyncFolder(path);
  return Claim::Claimed;
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

}  // namespace base
