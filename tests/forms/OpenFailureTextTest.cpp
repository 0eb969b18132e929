// The open-failure texts that no pseudo-terminal can provoke: a refused
// rate, a group joined but not yet in effect, holders that cannot be seen
// or are many, a machine without serial devices.
#include "fields/OpenFailureText.h"

#include <gtest/gtest.h>

namespace {

PortDiagnosis Diagnosis(OpenFailureKind kind, const std::string& device) {
  PortDiagnosis d;
  d.failure.kind = kind;
  d.failure.device = device;
  d.device = device;
  return d;
}

TEST(OpenFailureText, SecondLineNamesTheCause) {
  PortDiagnosis rate = Diagnosis(OpenFailureKind::RateRefused, "/dev/ttyS0");
  rate.failure.baudRate = 14400;

  PortDiagnosis login = Diagnosis(OpenFailureKind::PermissionDenied, "/dev/ttyUSB0");
  login.user = "bench";
  login.group = "dialout";
  login.groupMayUse = true;
  login.membership = GroupMembership::AfterNewLogin;

  PortDiagnosis many = Diagnosis(OpenFailureKind::Busy, "/dev/ttyACM0");
  many.holders = {{10, "ModemManager"}, {11, "brltty"}, {12, "minicom"}, {13, "cat"}};

  PortDiagnosis none = Diagnosis(OpenFailureKind::NoDevice, "/home/bench/.korvelt/ports/COM2");
  none.failure.portNumber = 2;

  struct Case {
    PortDiagnosis diagnosis;
    const char* cause;
  };
  for (const Case& c : {
           Case{rate, "/dev/ttyS0 不接受波特率 14400。"},
           Case{login, "没有权限打开 /dev/ttyUSB0：用户 bench 已加入 dialout 组，重新登录后才生效。"},
           Case{Diagnosis(OpenFailureKind::Busy, "/dev/ttyUSB1"),
                "/dev/ttyUSB1 正被另一个程序占用（看不到是哪个程序）。"},
           Case{many,
                "/dev/ttyACM0 正被其他程序占用：ModemManager（进程 10）、brltty（进程 11）、minicom（进程 12）"
                "等 4 个进程。"},
           Case{none, "COM2 没有对应的设备：没有链接 /home/bench/.korvelt/ports/COM2，本机也没有串口设备。"},
       }) {
    EXPECT_EQ(fields::OpenFailureMessage(c.diagnosis), std::string("打开串口失败\n") + c.cause);
  }
  EXPECT_EQ(fields::OpenFailureMessage(PortDiagnosis{}), "打开串口失败");
}

}  // namespace
