// The main window and the about box as data: every control with its kind,
// id, text and rectangle in dialog units. The Qt side walks these tables to
// build the windows; nothing else places a control of these two windows.
#pragma once

#include <span>

#include "fields/OpenFailureText.h"
#include "ui/forms/DialogUnits.h"

namespace forms {

enum class ControlKind {
  GroupBox,
  Label,         // fixed text beside a control; width 0 = as wide as its text
  ValueText,     // static text that the program rewrites; starts as "-"
  DropList,      // drop-down list; the height is the dropped list's
  CheckBox,      // automatic check box
  PushButton,
  ReadOnlyEdit,  // single line, bordered, scrolls horizontally
  TabControl,
  Icon,          // the application icon
};

struct ControlTemplate {
  ControlKind kind;
  int id;  // 0 for controls the program never addresses
  const char* text;
  UnitRect rect;
};

struct DialogTemplate {
  const char* title;
  int width;   // client area, dialog units
  int height;
  std::span<const ControlTemplate> controls;
};

const DialogTemplate& MainDialog();
const DialogTemplate& AboutDialog();

// The initial item list of a drop-down list of the main window; empty for
// other ids.
std::span<const char* const> ComboItems(int controlId);

// Texts of the main window that are not a control's initial caption.
namespace texts {
constexpr const char* AppName = "KORVELT_Demo";
constexpr const char* OpenPort = "打开串口";
constexpr const char* ClosePort = "关闭串口";
constexpr const char* OpenFailed = fields::OpenFailedText;
constexpr const char* PortLost = "串口已断开: {1}";  // the device
constexpr const char* AboutItem = "关于 KORVELT_Demo(&A)...";
constexpr const char* NoValue = "-";
// The stop that works on every page and in every window of the tool, with
// the stop mode chosen on "电机控制".
constexpr const char* StopKey = "F9";
constexpr const char* StopItem = "停止电机(&T)";
constexpr const char* StopTooltip = "停止电机 (F9: 在本工具的任何页面和窗口中均可)";
}  // namespace texts

}  // namespace forms
