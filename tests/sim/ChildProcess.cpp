#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "PtyPair.h"

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  output_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !Wait(std::chrono::milliseconds(0))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
}

bool ChildProcess::Fill(std::chrono::steady_clock::time_point deadline) {
  if (ended_ || output_ < 0) return false;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  pollfd p{output_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) <= 0) return false;
  char chunk[512];
  const ssize_t n = read(output_, chunk, sizeof chunk);
  if (n <= 0) {
    ended_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    if (!Fill(deadline)) return std::nullopt;
  }
}

std::string ChildProcess::ReadToEnd(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Fill(deadline)) {
  }
  return std::exchange(buffer_, {});
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  int status = 0;
  pid_t done = 0;
  WaitUntil([&] { return (done = waitpid(pid_, &status, WNOHANG)) != 0; }, timeout);
  if (done != pid_) return std::nullopt;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ProgramResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  ChildProcess child(argv);
  ProgramResult result;
  result.output = child.ReadToEnd(timeout);
  result.exitStatus = child.Wait(std::chrono::milliseconds(1000));
  return result;
}
