#include "base/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/UniqueFd.h"
#include "lang/Texts.h"

namespace base {
namespace {

// `pattern` takes the path and the system's reason.
std::string Failure(const char* pattern, const std::string& path, int error) {
  return lang::Fill(lang::Tr(pattern), {path, std::strerror(error)});
}

}  // namespace

std::string ReadWholeFile(const std::string& path, size_t limit, std::string& data, const char* notA) {
  UniqueFd owned;
  int fd = STDIN_FILENO;
  if (path != "-") {
    // Without waiting: opening a FIFO blocks until it has a writer.
    owned = UniqueFd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!owned.Valid()) return Failure("无法打开 {1}: {2}", path, errno);
    struct stat status {};
    if (fstat(owned.Get(), &status) != 0) return Failure("无法读取 {1}: {2}", path, errno);
    if (!S_ISREG(status.st_mode)) return lang::Fill(lang::Tr("{1}: 不是普通文件, {2}"), {path, lang::Tr(notA)});
    fd = owned.Get();
  }
  std::string read;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure("无法读取 {1}: {2}", path, errno);
    if (n == 0) break;
    if (read.size() + static_cast<size_t>(n) > limit) {
      return lang::Fill(lang::Tr("{1}: 超过 {2} kB, {3}"), {path, std::to_string(limit / 1024), lang::Tr(notA)});
    }
    read.append(buffer, static_cast<size_t>(n));
  }
  data = std::move(read);
  return {};
}

}  // namespace base
