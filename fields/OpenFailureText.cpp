#include "fields/OpenFailureText.h"

#include <system_error>

#include "fields/CFormat.h"

namespace fields {

namespace {

// At most this many holders are named; the rest are counted.
constexpr size_t kHoldersNamed = 3;

std::string JoinDevices(const std::vector<std::string>& devices) {
  std::string text;
  for (const std::string& device : devices) text += (text.empty() ? "" : "、") + device;
  return text;
}

std::string NoDevice(const PortDiagnosis& d) {
  const std::string head = CFormat("COM%u 没有对应的设备：没有链接 %s，", d.failure.portNumber,
                                   d.failure.device.c_str());
  if (d.devicesPresent.empty()) return head + "本机也没有串口设备。";
  return head + CFormat("本机只有 %zu 个串口设备：", d.devicesPresent.size()) + JoinDevices(d.devicesPresent) + "。";
}

std::string Permission(const PortDiagnosis& d) {
  const std::string head = "没有权限打开 " + d.device + "：";
  if (d.group.empty()) return head + "无法查看其权限。";
  const bool member = d.membership == GroupMembership::Member;
  if (!d.groupMayUse) {
    return head + CFormat("只有所有者 %s 可以读写，%s 组没有读写权限（用户 %s %s该组中）。", d.owner.c_str(),
                          d.group.c_str(), d.user.c_str(), member ? "在" : "不在");
  }
  switch (d.membership) {
    case GroupMembership::NotMember:
      return head + CFormat("设备属于 %s 组，用户 %s 不在该组中。请执行 sudo usermod -aG %s %s，然后重新登录。",
                            d.group.c_str(), d.user.c_str(), d.group.c_str(), d.user.c_str());
    case GroupMembership::AfterNewLogin:
      return head + CFormat("用户 %s 已加入 %s 组，重新登录后才生效。", d.user.c_str(), d.group.c_str());
    case GroupMembership::Member:
      break;
  }
  return head + CFormat("设备属于 %s 组，用户 %s 已在该组中，但仍被拒绝。", d.group.c_str(), d.user.c_str());
}

std::string Busy(const PortDiagnosis& d) {
  if (d.holders.empty()) return d.device + " 正被另一个程序占用（看不到是哪个程序）。";
  std::string names;
  for (size_t i = 0; i < d.holders.size() && i < kHoldersNamed; ++i) {
    names += (i == 0 ? "" : "、") + CFormat("%s（进程 %d）", d.holders[i].name.c_str(), d.holders[i].pid);
  }
  if (d.holders.size() > kHoldersNamed) names += CFormat("等 %zu 个进程", d.holders.size());
  return d.device + " 正被其他程序占用：" + names + "。";
}

}  // namespace

std::string OpenFailureCause(const PortDiagnosis& d) {
  const OpenFailure& f = d.failure;
  switch (f.kind) {
    case OpenFailureKind::None:
      return {};
    case OpenFailureKind::AlreadyOpen:
      return "串口已经打开。";
    case OpenFailureKind::InvalidNumber:
      return CFormat("COM%u 不在 COM1 到 COM1024 之间。", f.portNumber);
    case OpenFailureKind::InvalidMode:
      return "串口参数无效。";
    case OpenFailureKind::NoDevice:
      return NoDevice(d);
    case OpenFailureKind::DanglingLink:
      return CFormat("链接 %s 指向的 %s 不存在（适配器是否已拔出？）。", f.device.c_str(), d.linkTarget.c_str());
    case OpenFailureKind::PermissionDenied:
      return Permission(d);
    case OpenFailureKind::Busy:
      return Busy(d);
    case OpenFailureKind::NotATerminal:
      return d.device + " 不是串口设备。";
    case OpenFailureKind::RateRefused:
      return CFormat("%s 不接受波特率 %d。", d.device.c_str(), f.baudRate);
    case OpenFailureKind::SystemError:
      break;
  }
  return "无法打开 " + d.device + "：" + std::generic_category().message(f.error) + "。";
}

std::string OpenFailureMessage(const PortDiagnosis& diagnosis) {
  const std::string cause = OpenFailureCause(diagnosis);
  return cause.empty() ? std::string(OpenFailedText) : std::string(OpenFailedText) + "\n" + cause;
}

}  // namespace fields
