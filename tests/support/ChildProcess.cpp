#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "PtyPair.h"

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool separateErrors) {
  int pipeFds[2];
  int errorFds[2] = {-1, -1};
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
  if (separateErrors && pipe2(errorFds, O_CLOEXEC) != 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(separateErrors ? errorFds[1] : pipeFds[1], STDERR_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  output_ = pipeFds[0];
  if (separateErrors) {
    close(errorFds[1]);
    errorOutput_ = errorFds[0];
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !Wait(std::chrono::milliseconds(0))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
  if (errorOutput_ >= 0) close(errorOutput_);
}

// Reads what either pipe has; standard error is drained on the way so the
// program never blocks on a full pipe. False once standard output ended or
// nothing came in time.
bool ChildProcess::Fill(std::chrono::steady_clock::time_point deadline) {
  if (ended_ || output_ < 0) return false;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p[2] = {{output_, POLLIN, 0}, {errorOutput_, POLLIN, 0}};
    if (poll(p, errorOutput_ >= 0 ? 2 : 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) <= 0) return false;
    char chunk[512];
    if (errorOutput_ >= 0 && p[1].revents != 0) {
      const ssize_t n = read(errorOutput_, chunk, sizeof chunk);
      if (n > 0) {
        errors_.append(chunk, static_cast<size_t>(n));
      } else {
        close(errorOutput_);
        errorOutput_ = -1;
      }
    }
    if (p[0].revents == 0) continue;
    const ssize_t n = read(output_, chunk, sizeof chunk);
    if (n <= 0) {
      ended_ = true;
      // What the program wrote to standard error before it ended.
      while (errorOutput_ >= 0) {
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd e{errorOutput_, POLLIN, 0};
        if (poll(&e, 1, static_cast<int>(std::max<int64_t>(rest.count(), 0))) <= 0) break;
        const ssize_t got = read(errorOutput_, chunk, sizeof chunk);
        if (got <= 0) break;
        errors_.append(chunk, static_cast<size_t>(got));
      }
      return false;
    }
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
  }
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

ProgramResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         bool separateErrors) {
  ChildProcess child(argv, separateErrors);
  ProgramResult result;
  result.output = child.ReadToEnd(timeout);
  result.exitStatus = child.Wait(std::chrono::milliseconds(1000));
  result.errors = child.Errors();
  return result;
}
