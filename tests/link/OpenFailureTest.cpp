// Each way an open can fail, on real device nodes, followed up to the second
// line of the window's message.
#include <gtest/gtest.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>

#include "PtyPair.h"
#include "link/ModbusMaster.h"
#include "link/PortDiagnosis.h"
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "fields/OpenFailureText.h"

namespace {

using namespace std::chrono_literals;

std::string Cause(const OpenFailure& failure) { return fields::OpenFailureCause(DiagnoseOpenFailure(failure)); }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Reads `fd` to its end, or until `timeout` passes.
std::string ReadToEnd(int fd, std::chrono::milliseconds timeout) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return text;
    char chunk[512];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return text;
    text.append(chunk, static_cast<size_t>(n));
  }
}

// Runs `work` in a child process and gives back the text it returned.
std::string RunInChild(const std::function<std::string()>& work) {
  int out[2];
  if (pipe(out) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    const std::string text = work();
    [[maybe_unused]] const ssize_t ignored = write(out[1], text.data(), text.size());
    _exit(0);
  }
  close(out[1]);
  const std::string text = pid > 0 ? ReadToEnd(out[0], 10s) : "fork failed";
  close(out[0]);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return text;
}

// Another program with the device open through this project's own port
// class, under a name of its own, until the object goes.
class Holder {
 public:
  static constexpr const char* kName = "korvelt-holder";

  explicit Holder(const std::string& device) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(release_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release_[1]);
      prctl(PR_SET_NAME, kName);
      SerialPort port;
      const char opened = port.OpenDevice(device) ? '1' : '0';
      [[maybe_unused]] const ssize_t ignored = write(ready[1], &opened, 1);
      char end;
      [[maybe_unused]] const ssize_t released = read(release_[0], &end, 1);  // until the parent closes
      _exit(0);
    }
    close(ready[1]);
    close(release_[0]);
    holding_ = ReadExactly(ready[0], 1, 10s) == "1";
    close(ready[0]);
  }
  ~Holder() {
    close(release_[1]);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }

  bool Holding() const { return holding_; }
  int Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int release_[2] = {-1, -1};
  bool holding_ = false;
};

class OpenFailures : public ::testing::Test {
 protected:
  PortsFolder ports;
  PtyPair pty;
};

TEST_F(OpenFailures, MissingDevicesAndLinksSayWhatIsThere) {
  ports.Map(2, "/dev/korvelt-unplugged");
  const std::string plainFile = ports.Path() + "/not-a-tty";
  std::ofstream(plainFile) << "x";
  ports.Map(3, plainFile);

  struct Case {
    unsigned com;
    OpenFailureKind kind;
    std::vector<std::string> named;
  };
  std::vector<std::string> beyond = {"COM1000", ports.Path() + "/COM1000"};
  const std::vector<std::string> present = EnumerateSerialDevices();
  beyond.insert(beyond.end(), present.begin(), present.end());
  if (present.empty()) beyond.push_back("本机也没有串口设备");

  for (const Case& c : {Case{1000, OpenFailureKind::NoDevice, beyond},
                        Case{2, OpenFailureKind::DanglingLink, {ports.Path() + "/COM2", "/dev/korvelt-unplugged"}},
                        Case{3, OpenFailureKind::NotATerminal, {plainFile, "不是串口设备"}}}) {
    SerialPort port;
    EXPECT_FALSE(port.Open(c.com));
    const OpenFailure failure = port.LastOpenFailure();
    EXPECT_EQ(failure.kind, c.kind) << "COM" << c.com;
    EXPECT_EQ(failure.portNumber, c.com);
    const std::string cause = Cause(failure);
    for (const std::string& part : c.named) EXPECT_TRUE(Contains(cause, part)) << part << " not in " << cause;
  }
}

TEST_F(OpenFailures, ABusyDeviceNamesTheProcessThatHoldsIt) {
  ports.Map(1, pty.SlavePath());
  const Holder holder(pty.SlavePath());
  ASSERT_TRUE(holder.Holding());

  ModbusMaster link;
  EXPECT_EQ(link.OpenPort(1, 9600, Parity::None2), 0);
  const OpenFailure failure = link.LastOpenFailure();
  EXPECT_EQ(failure.kind, OpenFailureKind::Busy);
  EXPECT_EQ(failure.device, ports.Path() + "/COM1");

  const PortDiagnosis diagnosis = DiagnoseOpenFailure(failure);
  EXPECT_EQ(diagnosis.device, pty.SlavePath());
  ASSERT_EQ(diagnosis.holders.size(), 1u) << "this process holds the line too, but is not another program";
  EXPECT_EQ(diagnosis.holders[0].pid, holder.Pid());
  EXPECT_EQ(diagnosis.holders[0].name, Holder::kName);
  EXPECT_EQ(fields::OpenFailureCause(diagnosis),
            pty.SlavePath() + " 正被其他程序占用：korvelt-holder（进程 " + std::to_string(holder.Pid()) + "）。");
}

TEST_F(OpenFailures, AFailureIsForgottenByTheNextOpenThatSucceeds) {
  ports.Map(1, pty.SlavePath());
  ModbusMaster link;
  struct Case {
    unsigned com;
    int baud;
    OpenFailureKind kind;
  };
  for (const Case c : {Case{0, 9600, OpenFailureKind::InvalidNumber}, Case{1, 0, OpenFailureKind::InvalidMode},
                       Case{7, 9600, OpenFailureKind::NoDevice}}) {
    EXPECT_EQ(link.OpenPort(c.com, c.baud, Parity::None2), 0);
    EXPECT_EQ(link.LastOpenFailure().kind, c.kind) << c.com << " " << c.baud;
  }
  ASSERT_NE(link.OpenPort(1, 14400, Parity::None2), 0);
  EXPECT_EQ(link.LastOpenFailure().kind, OpenFailureKind::None);
  EXPECT_EQ(link.OpenPort(1, 9600, Parity::None2), 0);
  EXPECT_EQ(link.LastOpenFailure().kind, OpenFailureKind::AlreadyOpen);
}

// The test runs as root, whom no mode refuses; the open is tried by a child
// that has become "nobody".
TEST(OpenFailurePermission, ARefusedUserIsToldTheGroupAndTheFix) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to try the open as an unprivileged user";
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) GTEST_SKIP() << "no user nobody on this machine";
  const uid_t uid = nobody->pw_uid;
  const gid_t gid = nobody->pw_gid;
  PtyPair pty;
  // Given to dialout, as udev gives serial adapters, where that group exists.
  if (const group* dialout = getgrnam("dialout")) {
    ASSERT_EQ(fchown(pty.Slave(), 0, dialout->gr_gid), 0);
  }
  struct stat device {};
  ASSERT_EQ(stat(pty.SlavePath().c_str(), &device), 0);
  const group* owning = getgrgid(device.st_gid);
  ASSERT_NE(owning, nullptr);
  const std::string groupName = owning->gr_name;
  ASSERT_NE(device.st_gid, gid) << "the test needs a device group that nobody lacks";

  struct Case {
    mode_t mode;
    std::vector<std::string> named;
  };
  for (const Case& c :
       {Case{0660, {pty.SlavePath(), "设备属于 " + groupName + " 组", "用户 nobody 不在该组中",
                    "sudo usermod -aG " + groupName + " nobody", "重新登录"}},
        Case{0600, {pty.SlavePath(), "只有所有者 root 可以读写", groupName + " 组没有读写权限"}}}) {
    ASSERT_EQ(fchmod(pty.Slave(), c.mode), 0);
    const std::string cause = RunInChild([&] {
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) return std::string("setuid failed");
      SerialPort port;
      if (port.OpenDevice(pty.SlavePath())) return std::string("opened");
      const OpenFailure failure = port.LastOpenFailure();
      return failure.kind == OpenFailureKind::PermissionDenied ? Cause(failure) : "another kind";
    });
    for (const std::string& part : c.named) EXPECT_TRUE(Contains(cause, part)) << part << " not in " << cause;
  }
}

}  // namespace
