#include "fields/OpenFailureText.h"

#include <chrono>
#include <system_error>

#include "fields/ItemList.h"
#include "lang/Texts.h"
#include "link/ByteChannel.h"
#include "link/Rfc2217Stream.h"

namespace fields {

namespace {

// At most this many holders are named; the rest are counted.
constexpr size_t kHoldersNamed = 3;

std::string JoinDevices(const std::vector<std::string>& devices) {
  std::string text;
  for (const std::string& device : devices) AppendItem(text, device);
  return text;
}

std::string NoDevice(const PortDiagnosis& d) {
  const std::string port = std::to_string(d.failure.portNumber);
  if (d.devicesPresent.empty()) {
    return lang::Fill(lang::Tr("COM{1} 没有对应的设备：没有链接 {2}，本机也没有串口设备。"), {port, d.failure.device});
  }
  return lang::Fill(lang::Tr("COM{1} 没有对应的设备：没有链接 {2}，本机只有 {3} 个串口设备：{4}。"),
                    {port, d.failure.device, std::to_string(d.devicesPresent.size()), JoinDevices(d.devicesPresent)});
}

std::string Permission(const PortDiagnosis& d) {
  if (d.group.empty()) return lang::Fill(lang::Tr("没有权限打开 {1}：无法查看其权限。"), {d.device});
  const bool member = d.membership == GroupMembership::Member;
  if (!d.groupMayUse) {
    const char* pattern = member ? "没有权限打开 {1}：只有所有者 {2} 可以读写，{3} 组没有读写权限（用户 {4} 在该组中）。"
                                 : "没有权限打开 {1}：只有所有者 {2} 可以读写，{3} 组没有读写权限（用户 {4} 不在该组中）。";
    return lang::Fill(lang::Tr(pattern), {d.device, d.owner, d.group, d.user});
  }
  switch (d.membership) {
    case GroupMembership::NotMember:
      return lang::Fill(
          lang::Tr("没有权限打开 {1}：设备属于 {2} 组，用户 {3} 不在该组中。请执行 sudo usermod -aG {2} {3}，然后重新登录。"),
          {d.device, d.group, d.user});
    case GroupMembership::AfterNewLogin:
      return lang::Fill(lang::Tr("没有权限打开 {1}：用户 {2} 已加入 {3} 组，重新登录后才生效。"),
                        {d.device, d.user, d.group});
    case GroupMembership::Member:
      break;
  }
  return lang::Fill(lang::Tr("没有权限打开 {1}：设备属于 {2} 组，用户 {3} 已在该组中，但仍被拒绝。"),
                    {d.device, d.group, d.user});
}

std::string Busy(const PortDiagnosis& d) {
  if (d.holders.empty()) return lang::Fill(lang::Tr("{1} 正被另一个程序占用（看不到是哪个程序）。"), {d.device});
  std::string names;
  for (size_t i = 0; i < d.holders.size() && i < kHoldersNamed; ++i) {
    AppendItem(names, lang::Fill(lang::Tr("{1}（进程 {2}）"), {d.holders[i].name, std::to_string(d.holders[i].pid)}));
  }
  if (d.holders.size() > kHoldersNamed) {
    names = lang::Fill(lang::Tr("{1}等 {2} 个进程"), {names, std::to_string(d.holders.size())});
  }
  return lang::Fill(lang::Tr("{1} 正被其他程序占用：{2}。"), {d.device, names});
}

}  // namespace

std::string OpenFailureCause(const PortDiagnosis& d) {
  const OpenFailure& f = d.failure;
  switch (f.kind) {
    case OpenFailureKind::None:
      return {};
    case OpenFailureKind::AlreadyOpen:
      return lang::Tr("串口已经打开。");
    case OpenFailureKind::InvalidNumber:
      return lang::Fill(lang::Tr("COM{1} 不在 COM1 到 COM1024 之间。"), {std::to_string(f.portNumber)});
    case OpenFailureKind::InvalidMode:
      return lang::Tr("串口参数无效。");
    case OpenFailureKind::NoDevice:
      return NoDevice(d);
    case OpenFailureKind::DanglingLink:
      return lang::Fill(lang::Tr("链接 {1} 指向的 {2} 不存在（适配器是否已拔出？）。"), {f.device, d.linkTarget});
    case OpenFailureKind::PermissionDenied:
      return Permission(d);
    case OpenFailureKind::Busy:
      return Busy(d);
    case OpenFailureKind::NotATerminal:
      return lang::Fill(lang::Tr("{1} 不是串口设备。"), {d.device});
    case OpenFailureKind::RateRefused:
      return lang::Fill(lang::Tr("{1} 不接受波特率 {2}。"), {d.device, std::to_string(f.baudRate)});
    case OpenFailureKind::BadAddress:
      return lang::Fill(lang::Tr("{1} 不是网络端口：应为 tcp://主机:端口、rfc2217://主机:端口 或 modbus-tcp://主机[:端口]。"),
                        {f.device});
    case OpenFailureKind::NameNotResolved:
      return lang::Fill(lang::Tr("无法解析 {1} 的主机名：{2}。"), {f.device, f.detail});
    case OpenFailureKind::ConnectionRefused:
      return lang::Fill(lang::Tr("{1} 拒绝连接（该端口上没有服务在监听）。"), {f.device});
    case OpenFailureKind::HostUnreachable:
      return lang::Fill(lang::Tr("无法到达 {1}：{2}。"), {f.device, std::generic_category().message(f.error)});
    case OpenFailureKind::ConnectTimedOut:
      return lang::Fill(lang::Tr("连接 {1} 超时：{2} 秒内没有建立连接。"),
                        {f.device, std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kConnectTimeout).count())});
    case OpenFailureKind::ServerClosed:
      if (f.detail.empty()) {
        return lang::Fill(lang::Tr("{1} 接受连接后立即关闭了它（串口是否正被其他客户端使用？）。"), {f.device});
      }
      return lang::Fill(lang::Tr("{1} 接受连接后立即关闭了它，服务器的回复：{2}"), {f.device, f.detail});
    case OpenFailureKind::SettingRefused:
      if (f.detail.empty()) {
        return lang::Fill(lang::Tr("{1} 没有在 {2} 秒内确认串口设置（波特率 {3}）。"), {f.device,
                           std::to_string(std::chrono::duration_cast<std::chrono::seconds>(Rfc2217Stream::SettingTimeout).count()),
                           std::to_string(f.baudRate)});
      }
      return lang::Fill(lang::Tr("{1} 不接受波特率 {2}：服务器设为 {3}。"), {f.device, std::to_string(f.baudRate), f.detail});
    case OpenFailureKind::NoComPortControl:
      return lang::Fill(lang::Tr("{1} 拒绝串口控制 (RFC 2217)：无法设置波特率和校验。"), {f.device});
    case OpenFailureKind::CannotListen:
      return lang::Fill(lang::Tr("{1} 是 Modbus TCP 网关：它只转发本工具自己的请求，无法监听总线。"), {f.device});
    case OpenFailureKind::SystemError:
      break;
  }
  return lang::Fill(lang::Tr("无法打开 {1}：{2}。"), {d.device, std::generic_category().message(f.error)});
}

std::string OpenFailureMessage(const PortDiagnosis& diagnosis) {
  const std::string cause = OpenFailureCause(diagnosis);
  const std::string head = lang::Tr(OpenFailedText);
  return cause.empty() ? head : head + "\n" + cause;
}

}  // namespace fields
