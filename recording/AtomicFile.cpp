#include "recording/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace recording {
namespace {

std::string Reason(const std::string& what, int error) { return what + ": " + std::strerror(error); }

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  // Created by open() itself, so the new file gets the mode an ordinary new
  // file gets under the process's umask.
  static std::atomic<unsigned> serial{0};
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary_ = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error_ = Reason(path, errno);
    temporary_.clear();
    return false;
  }
  stream_ = fdopen(fd, "w");
  if (stream_ == nullptr) {
    error_ = Reason(path, errno);
    close(fd);
    Discard();
    return false;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (stream_ == nullptr) return false;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_) && fsync(fileno(stream_)) == 0;
  int error = errno;
  if (std::fclose(stream_) != 0 && ok) {
    ok = false;
    error = errno;
  }
  stream_ = nullptr;
  if (ok && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    error_ = Reason(path_, error);
    Discard();
    return false;
  }
  temporary_.clear();
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

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  AtomicFile file;
  const bool ok = file.Open(path) && std::fwrite(text.data(), 1, text.size(), file.Stream()) == text.size() &&
                  file.Commit();
  if (!ok && error != nullptr) *error = file.Error().empty() ? path + ": " + std::strerror(EIO) : file.Error();
  return ok;
}

}  // namespace recording
