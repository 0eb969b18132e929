// What the system can tell about a port that did not open: the devices that
// are there, where a link points, the device's owner and group and the
// user's membership of it, the processes that hold it. Looked up once, right
// after the failure, for the window to put into words.
#pragma once

#include <string>
#include <vector>

#include "link/OpenFailure.h"

struct PortHolder {
  int pid = 0;
  std::string name;  // the process's command name
};

enum class GroupMembership {
  Member,         // the running program has the group
  AfterNewLogin,  // the user was added to it, but this session predates that
  NotMember,
};

struct PortDiagnosis {
  OpenFailure failure;
  // The device that failure.device reaches after links; failure.device
  // itself when it reaches nothing.
  std::string device;

  std::string linkTarget;                   // DanglingLink: what the link names
  std::vector<std::string> devicesPresent;  // NoDevice: the serial devices in COM order

  // PermissionDenied
  std::string user;   // who runs this program
  std::string owner;  // the device's owner and group
  std::string group;
  bool groupMayUse = false;  // the group has read and write permission
  GroupMembership membership = GroupMembership::NotMember;

  // Busy: other processes with the device open, as far as /proc lets this
  // user see; empty when none can be seen.
  std::vector<PortHolder> holders;
};

PortDiagnosis DiagnoseOpenFailure(const OpenFailure& failure);

// Processes other than this one that have `device` (or any name of the same
// device) open.
std::vector<PortHolder> ProcessesHolding(const std::string& device);
