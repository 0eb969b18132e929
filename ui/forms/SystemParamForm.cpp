#include "ui/forms/SystemParamForm.h"

#include "fields/ParamTables.h"

namespace forms::sysparam {
namespace {

// The page's frame, and inside it the lists in two columns, the edits in two
// columns below them, and the switches with the buttons at the bottom.
// The edits' columns have widths of their own, not those of the lists.
enum Group { Frame, Lists, MoreLists, EditRow, Edits, MoreEdits, Bottom };
constexpr GroupSpec kGroups[] = {
    {fields::sys::Title, 0, 0},
    {nullptr, 0, 0, 1, 1, Frame},
    {nullptr, 0, 1, 1, 1, Frame},
    {nullptr, 1, 0, 1, 2, Frame},
    {nullptr, 0, 0, 1, 1, EditRow},
    {nullptr, 0, 1, 1, 1, EditRow},
    {nullptr, 2, 0, 1, 2, Frame},
};

// Edits of a range: the lower bound after the row's label, the upper bound
// after a "-" in the next column pair.
constexpr int Lower = 0;
constexpr int Upper = 2;

constexpr FieldSpec List(const char* key, int id, int group, int row) {
  return Put(fields::sys::Params, key, id).At(group, row);
}
constexpr FieldSpec Millis(const char* key, int id, int row, int column = Lower) {
  return Put(fields::sys::Params, key, id).Chars(6).At(Edits, row, column);
}
constexpr FieldSpec Tenths(const char* key, int id, int group, int row) {
  return Put(fields::sys::Params, key, id).Chars(4).At(group, row);
}
constexpr FieldSpec Float(const char* key, int id, int row) {
  return Put(fields::sys::Params, key, id).Chars(10).At(MoreEdits, row);
}

constexpr FieldSpec kFields[] = {
    List("limitTriggerPolarity", 1067, Lists, 0),
    List("digitalSignalPolarity", 1068, Lists, 1),
    List("potentiometerMode", 1074, Lists, 2),
    List("pulseSignalType", 1073, Lists, 3),
    List("analogSignalType", AnalogTypeList, MoreLists, 0),
    List("logicLevelType", LogicLevelList, MoreLists, 1),
    Millis("potVoltageLow", 1112, 0),
    Millis("potVoltageHigh", 1113, 0, Upper),
    Millis("analogRangeLow", 1106, 1),
    Millis("analogRangeHigh", 1107, 1, Upper),
    Millis("logicThreshold", 1108, 2),
    Millis("compareDeadband", 1114, 3),
    Float("pulseRatio", 1109, 0),
    Tenths("stallStopTime", 1048, MoreEdits, 4),
    List("serialBaud", 1002, MoreLists, 2),
    List("serialParity", 1071, MoreLists, 3),
    Put(fields::sys::Params, "lockConfigOver485", 1058).At(Bottom, 0, 0),
    Tenths("commLossBrakeTime", 1057, Edits, 4),
    Float("analogGain", 1110, 2),
    Float("analogOffset", 1111, 3),
    Put(fields::sys::Params, "alarmDisabled", 1120).At(Bottom, 0, 1),
};
static_assert(ShowsAll(fields::sys::Params, kFields));

constexpr FieldSpec kControls[] = {
    Field::Static(0, "模拟信号调整:").At(MoreEdits, 1),
    Field::Button(ReadButton, "读取").At(Bottom, 0, 2),
    Field::Button(ConfigureButton, "配置").At(Bottom, 0, 3),
};

constexpr ListDefault kDefaults[] = {
    {AnalogTypeList, 0, 1106, "0.000"}, {AnalogTypeList, 0, 1107, "10.000"},
    {AnalogTypeList, 1, 1106, "0.000"}, {AnalogTypeList, 1, 1107, "3.300"},
    {AnalogTypeList, 2, 1106, "0.000"}, {AnalogTypeList, 2, 1107, "10.000"},
    {AnalogTypeList, 3, 1106, "0.000"}, {AnalogTypeList, 3, 1107, "5.000"},
    {LogicLevelList, 0, 1108, "2.000"}, {LogicLevelList, 1, 1108, "2.000"},
    {LogicLevelList, 2, 1108, "3.000"}, {LogicLevelList, 3, 1108, "5.000"},
};

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Fields() { return kFields; }
std::span<const FieldSpec> Controls() { return kControls; }
std::span<const ListDefault> ListDefaults() { return kDefaults; }

}  // namespace forms::sysparam
