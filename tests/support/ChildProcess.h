// A program started by a test, with its standard output and error read
// through a pipe (one for both, or one each), killed and reaped if the test
// lets it go.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
 public:
  // `separateErrors`: standard error goes to a pipe of its own (Errors()),
  // else it joins standard output.
  explicit ChildProcess(const std::vector<std::string>& argv, bool separateErrors = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // Its process id while it has not been reaped; -1 after.
  pid_t Pid() const { return pid_; }
  // The next line of output, or nothing when none came in time.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // All output up to the end (the program closed it) or the time-out.
  std::string ReadToEnd(std::chrono::milliseconds timeout);
  // Standard error read so far (separateErrors only).
  const std::string& Errors() const { return errors_; }
  void Signal(int signal);
  // The exit status once the program has ended, nothing on time-out.
  std::optional<int> Wait(std::chrono::milliseconds timeout);

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int output_ = -1;
  int errorOutput_ = -1;
  std::string buffer_;
  std::string errors_;
  bool ended_ = false;
};

struct ProgramResult {
  std::optional<int> exitStatus;  // nothing: killed after the time-out
  std::string output;
  std::string errors;  // separateErrors only
};

ProgramResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         bool separateErrors = false);
