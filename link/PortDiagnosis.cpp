#include "link/PortDiagnosis.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/PortNames.h"

namespace fs = std::filesystem;

namespace {

// The reentrant look-ups want a buffer; names and member lists fit in this.
constexpr size_t kLookupBuffer = 16384;

struct UserEntry {
  bool found = false;
  std::string name;
  gid_t primaryGroup = 0;
};

UserEntry LookUpUser(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(kLookupBuffer);
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return UserEntry{true, entry.pw_name, entry.pw_gid};
}

std::string UserName(uid_t uid) {
  const UserEntry user = LookUpUser(uid);
  return user.found ? user.name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  group entry{};
  group* found = nullptr;
  std::vector<char> buffer(kLookupBuffer);
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return std::to_string(gid);
  }
  return entry.gr_name;
}

bool SessionHasGroup(gid_t gid) {
  if (getegid() == gid) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether the group database lists the user in the group: true after
// usermod -aG even before the user has logged in again.
bool DatabaseHasGroup(const UserEntry& user, gid_t gid) {
  if (!user.found) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (getgrouplist(user.name.c_str(), user.primaryGroup, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    if (getgrouplist(user.name.c_str(), user.primaryGroup, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<size_t>(count));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

void DiagnosePermission(PortDiagnosis& diagnosis) {
  const UserEntry user = LookUpUser(geteuid());
  diagnosis.user = user.found ? user.name : std::to_string(geteuid());
  struct stat device {};
  if (stat(diagnosis.device.c_str(), &device) != 0) return;
  diagnosis.owner = UserName(device.st_uid);
  diagnosis.group = GroupName(device.st_gid);
  diagnosis.groupMayUse = (device.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  if (SessionHasGroup(device.st_gid)) {
    diagnosis.membership = GroupMembership::Member;
  } else if (DatabaseHasGroup(user, device.st_gid)) {
    diagnosis.membership = GroupMembership::AfterNewLogin;
  }
}

std::string CommandName(const fs::path& process) {
  std::ifstream file(process / "comm");
  std::string name;
  std::getline(file, name);
  return name;
}

}  // namespace

std::vector<PortHolder> ProcessesHolding(const std::string& device) {
  std::vector<PortHolder> holders;
  struct stat wanted {};
  if (stat(device.c_str(), &wanted) != 0 || !S_ISCHR(wanted.st_mode)) return holders;
  const std::string self = std::to_string(getpid());
  std::error_code error;
  for (const auto& process : fs::directory_iterator("/proc", error)) {
    const std::string pid = process.path().filename().string();
    if (pid == self || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    // Other users' descriptors are hidden from a normal user; those
    // processes are simply not seen.
    std::error_code fdError;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
      struct stat opened {};
      if (stat(fd.path().c_str(), &opened) == 0 && S_ISCHR(opened.st_mode) && opened.st_rdev == wanted.st_rdev) {
        holders.push_back(PortHolder{std::stoi(pid), CommandName(process.path())});
        break;
      }
    }
  }
  std::sort(holders.begin(), holders.end(), [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
  return holders;
}

PortDiagnosis DiagnoseOpenFailure(const OpenFailure& failure) {
  PortDiagnosis diagnosis;
  diagnosis.failure = failure;
  std::error_code error;
  // A network port's "host:port" names no file, whatever the folder holds.
  const bool network = failure.kind >= OpenFailureKind::BadAddress && failure.kind <= OpenFailureKind::CannotListen;
  const fs::path device = network ? fs::path() : fs::canonical(failure.device, error);
  diagnosis.device = network || error ? failure.device : device.string();

  switch (failure.kind) {
    case OpenFailureKind::NoDevice:
      diagnosis.devicesPresent = EnumerateSerialDevices();
      break;
    case OpenFailureKind::DanglingLink:
      diagnosis.linkTarget = fs::read_symlink(failure.device, error).string();
      break;
    case OpenFailureKind::PermissionDenied:
      DiagnosePermission(diagnosis);
      break;
    case OpenFailureKind::Busy:
      diagnosis.holders = ProcessesHolding(diagnosis.device);
      break;
    default:
      break;
  }
  return diagnosis;
}
