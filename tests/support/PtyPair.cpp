#include "PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace {

void MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
  }
}

}  // namespace

PtyPair::PtyPair() {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  slavePath_ = name;
  MakeRaw(master_);
  MakeRaw(slave_);
}

PtyPair::~PtyPair() { Hangup(); }

void PtyPair::Hangup() {
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
  master_ = slave_ = -1;
}

EnvironmentFolder::EnvironmentFolder(const char* variable, const char* prefix) : variable_(variable) {
  std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  if (const char* old = std::getenv(variable)) {
    previous_ = old;
    hadPrevious_ = true;
  }
  setenv(variable, path_.c_str(), 1);
}

EnvironmentFolder::~EnvironmentFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  if (hadPrevious_) {
    setenv(variable_.c_str(), previous_.c_str(), 1);
  } else {
    unsetenv(variable_.c_str());
  }
}

void PortsFolder::Map(unsigned number, const std::string& device) {
  const std::string link = Path() + "/COM" + std::to_string(number);
  std::error_code ignored;
  std::filesystem::remove(link, ignored);
  std::filesystem::create_symlink(device, link);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::string ReadExactly(int fd, size_t count, std::chrono::milliseconds timeout) {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (bytes.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char chunk[256];
    const ssize_t n = read(fd, chunk, std::min(sizeof chunk, count - bytes.size()));
    if (n <= 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  return bytes;
}
