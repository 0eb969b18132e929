// Test plumbing: a pseudo-terminal pair standing in for a serial line, a
// private ports folder that maps COM numbers to devices, and waiting on a
// condition with a deadline.
#pragma once

#include <chrono>
#include <functional>
#include <string>

// openpty() pair, both sides raw. The test (or the simulated driver) holds
// the master; the port under test opens SlavePath(). The pair keeps its own
// slave descriptor open so the master never sees a hang-up while the port
// under test is closed.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int Master() const { return master_; }
  // The pair's own descriptor on the slave tty (its settings are the port's).
  int Slave() const { return slave_; }
  const std::string& SlavePath() const { return slavePath_; }
  // Closes both of the pair's own descriptors: the port under test sees the
  // line disappear, as when a USB adapter is pulled.
  void Hangup();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

// A private folder, made in /tmp, that an environment variable names for
// the life of the object; removed with what it holds, the variable set back.
class EnvironmentFolder {
 public:
  EnvironmentFolder(const char* variable, const char* prefix);
  ~EnvironmentFolder();
  EnvironmentFolder(const EnvironmentFolder&) = delete;
  EnvironmentFolder& operator=(const EnvironmentFolder&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string variable_;
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// A private $KORVELT_PORTS folder for the life of the object.
class PortsFolder {
 public:
  PortsFolder() = default;

  // Makes COM`number` a link to `device`.
  void Map(unsigned number, const std::string& device);
  const std::string& Path() const { return folder_.Path(); }

 private:
  EnvironmentFolder folder_{"KORVELT_PORTS", "korvelt-ports"};
};

// A private $XDG_DATA_HOME, where the backups go.
class DataHome : public EnvironmentFolder {
 public:
  DataHome() : EnvironmentFolder("XDG_DATA_HOME", "korvelt-data") {}
};

// Polls `condition` until it holds or `timeout` passes; true if it held.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

// Reads from `fd` until `count` bytes are in or `timeout` passes.
std::string ReadExactly(int fd, size_t count, std::chrono::milliseconds timeout);
