#include "ui/forms/DialogLayout.h"

#include <array>
#include <string>

#include "link/Line.h"
#include "ui/forms/ControlIds.h"

namespace forms {
namespace {

using K = ControlKind;

// Labels are 8 units high; their width comes from their text.
constexpr UnitRect LabelAt(int x, int y) { return {x, y, 0, 8}; }
// The right-hand column: the device-information and status boxes. Their
// value fields are wide enough for sixteen of the widest characters of a
// model (WWWWWWWWWWWWWWWW) and for the longest text a failed read gives
// ("网关目标设备响应失败"); the window is that much wider than the 403
// units of its first layout.
constexpr int RightColumnWidth = 156;
constexpr int ValueWidth = 98;
constexpr int Widened = RightColumnWidth - 112;
// The buttons and the check box stay centred in their boxes.
constexpr int Centred = Widened / 2;
constexpr UnitRect ValueAt(int y, int width = ValueWidth) { return {333, y, width, 8}; }

constexpr ControlTemplate kMainControls[] = {
    // Regions
    {K::GroupBox, 0, "通讯设置", {7, 7, 271, 49}},
    {K::TabControl, ids::PageTab, "", {7, 59, 271, 215}},
    {K::GroupBox, 0, "通讯数据", {7, 278, 271, 50}},
    {K::GroupBox, 0, "设备信息", {284, 7, RightColumnWidth, 114}},
    {K::GroupBox, 0, "实时状态", {284, 122, RightColumnWidth, 206}},

    // Connection panel: each list a little wider than in the first layout,
    // so that "COM15", "115200" and "无+2停止位" show whole, the labels and
    // the open button moved along with them.
    {K::Label, 0, "串口号:", LabelAt(14, 23)},
    {K::DropList, ids::PortCombo, "", {43, 21, 39, 124}},
    {K::Label, 0, "波特率:", LabelAt(85, 23)},
    {K::DropList, ids::BaudCombo, "", {114, 21, 39, 124}},
    {K::Label, 0, "校验:", LabelAt(156, 23)},
    {K::DropList, ids::ParityCombo, "", {178, 21, 52, 124}},
    {K::Label, 0, "设备地址:", LabelAt(14, 39)},
    {K::CheckBox, ids::FirstAddressSwitch + 0, "1", {53, 39, 20, 10}},
    {K::CheckBox, ids::FirstAddressSwitch + 1, "2", {75, 39, 20, 10}},
    {K::CheckBox, ids::FirstAddressSwitch + 2, "3", {97, 39, 20, 10}},
    {K::CheckBox, ids::FirstAddressSwitch + 3, "4", {118, 39, 20, 10}},
    {K::CheckBox, ids::FirstAddressSwitch + 4, "5", {141, 39, 20, 10}},
    {K::CheckBox, ids::FirstAddressSwitch + 5, "6", {162, 39, 20, 10}},
    {K::CheckBox, ids::FirstAddressSwitch + 6, "7", {182, 39, 20, 10}},
    {K::PushButton, ids::OpenPortButton, texts::OpenPort, {234, 22, 39, 20}},

    // Device information
    {K::Label, 0, "设备标识:", LabelAt(289, 18)},
    {K::ValueText, ids::DeviceId, texts::NoValue, ValueAt(18)},
    {K::Label, 0, "设备型号:", LabelAt(289, 30)},
    {K::ValueText, ids::Model, texts::NoValue, ValueAt(30)},
    {K::Label, 0, "版本号:", LabelAt(290, 42)},
    {K::ValueText, ids::Version, texts::NoValue, ValueAt(42)},
    {K::Label, 0, "PWM分辨率:", LabelAt(286, 54)},
    {K::ValueText, ids::PwmResolution, texts::NoValue, ValueAt(54)},
    {K::Label, 0, "PWM频率:", LabelAt(290, 66)},
    {K::ValueText, ids::PwmFrequency, texts::NoValue, ValueAt(66)},
    {K::Label, 0, "最大电流:", LabelAt(289, 78)},
    {K::ValueText, ids::MaxCurrent, texts::NoValue, ValueAt(78)},
    {K::Label, 0, "电流分辨率:", LabelAt(286, 90)},
    {K::ValueText, ids::CurrentResolution, texts::NoValue, ValueAt(90)},
    {K::PushButton, ids::ReadInfoButton, "读取信息", {294 + Centred, 102, 40, 14}},
    {K::PushButton, ids::OemInfoButton, "OEM信息", {344 + Centred, 102, 40, 14}},

    // Real-time status
    {K::Label, 0, "输出PWM:", LabelAt(289, 132)},
    {K::ValueText, ids::OutputPwm, texts::NoValue, ValueAt(131)},
    {K::Label, 0, "相电流:", LabelAt(292, 143)},
    {K::ValueText, ids::PhaseCurrent, texts::NoValue, ValueAt(142)},
    {K::Label, 0, "换向频率:", LabelAt(289, 154)},
    {K::ValueText, ids::CommutationFrequency, texts::NoValue, ValueAt(153)},
    {K::Label, 0, "转动位置:", LabelAt(289, 165)},
    {K::ValueText, ids::Position, texts::NoValue, ValueAt(164)},
    {K::Label, 0, "完成时间:", LabelAt(290, 175)},
    {K::ValueText, ids::CompletionTime, texts::NoValue, ValueAt(174)},
    {K::Label, 0, "完成状态:", LabelAt(290, 184)},
    {K::ValueText, ids::CompletionState, texts::NoValue, ValueAt(184)},
    {K::Label, 0, "IN1电压:", LabelAt(289, 194)},
    {K::ValueText, ids::In1Voltage, texts::NoValue, ValueAt(193)},
    {K::Label, 0, "IN2电压:", LabelAt(289, 205)},
    {K::ValueText, ids::In2Voltage, texts::NoValue, ValueAt(204)},
    {K::Label, 0, "IN3电压:", LabelAt(289, 216)},
    {K::ValueText, ids::In3Voltage, texts::NoValue, ValueAt(215)},
    {K::Label, 0, "差分电压:", LabelAt(289, 227)},
    {K::ValueText, ids::DifferentialVoltage, texts::NoValue, ValueAt(226)},
    {K::Label, 0, "SQ1电平:", LabelAt(289, 238)},
    {K::ValueText, ids::Sq1Level, texts::NoValue, ValueAt(237)},
    {K::Label, 0, "SQ2电平:", LabelAt(289, 249)},
    {K::ValueText, ids::Sq2Level, texts::NoValue, ValueAt(248)},
    {K::Label, 0, "输入PWM:", LabelAt(289, 260)},
    {K::ValueText, ids::InputPwm, texts::NoValue, ValueAt(259)},
    {K::Label, 0, "输入频率:", LabelAt(289, 271)},
    {K::ValueText, ids::InputFrequency, texts::NoValue, ValueAt(270)},
    {K::Label, 0, "输入脉冲:", LabelAt(289, 282)},
    {K::ValueText, ids::InputPulses, texts::NoValue, ValueAt(281)},
    {K::Label, 0, "电机转速:", LabelAt(289, 292)},
    {K::ValueText, ids::MotorSpeed, texts::NoValue, ValueAt(292)},
    {K::Label, 0, "错误状态:", LabelAt(289, 302)},
    {K::ValueText, ids::ErrorState, texts::NoValue, ValueAt(302, ValueWidth + 4)},
    {K::CheckBox, ids::AutoUpdate, "自动更新", {315 + Centred, 314, 48, 10}},

    // Traffic display
    {K::Label, 0, "发送:", LabelAt(14, 293)},
    {K::ReadOnlyEdit, ids::SentFrame, "", {40, 291, 207, 12}},
    {K::Label, 0, "接收:", LabelAt(13, 308)},
    {K::ReadOnlyEdit, ids::ReceivedFrame, "", {40, 305, 207, 12}},

    // Communication statistics: one line under the two lower boxes, across
    // the window, which grows by it.
    {K::ValueText, ids::StatisticsLine, texts::NoValue, {10, 331, 386 + Widened, 8}},
};

constexpr ControlTemplate kAboutControls[] = {
    {K::Icon, 0, "", {11, 17, 20, 20}},
    {K::Label, 0, "KORVELT_Demo 1.0 版", LabelAt(40, 10)},
    {K::PushButton, ids::AboutOk, "确定", {178, 7, 50, 14}},
};

constexpr const char* kPortItems[] = {"COM1", "COM2",  "COM3",  "COM4",  "COM5",  "COM6",  "COM7", "COM8",
                                      "COM9", "COM10", "COM11", "COM12", "COM13", "COM14", "COM15"};
constexpr const char* kParityItems[] = {"无+2停止位", "奇+1停止位", "偶+1停止位"};

const DialogTemplate kMainDialog{texts::AppName, 403 + Widened, 345, kMainControls};
const DialogTemplate kAboutDialog{"关于 KORVELT_Demo", 235, 55, kAboutControls};

// The driver's rates as the list shows them, in their order.
std::span<const char* const> BaudItems() {
  constexpr size_t kCount = std::size(kBaudRates);
  static const std::array<std::string, kCount> texts = [] {
    std::array<std::string, kCount> made;
    for (size_t i = 0; i < kCount; ++i) made[i] = std::to_string(kBaudRates[i]);
    return made;
  }();
  static const std::array<const char*, kCount> items = [] {
    std::array<const char*, kCount> made{};
    for (size_t i = 0; i < kCount; ++i) made[i] = texts[i].c_str();
    return made;
  }();
  return items;
}

}  // namespace

const DialogTemplate& MainDialog() { return kMainDialog; }

const DialogTemplate& AboutDialog() { return kAboutDialog; }

std::span<const char* const> ComboItems(int controlId) {
  switch (controlId) {
    case ids::PortCombo:
      return kPortItems;
    case ids::BaudCombo:
      return BaudItems();
    case ids::ParityCombo:
      return kParityItems;
    default:
      return {};
  }
}

}  // namespace forms
