#include "ui/forms/MotorParamForm.h"

#include <cstring>
#include <vector>

#include "link/FrameCodec.h"
#include "ui/forms/CFormat.h"
#include "ui/forms/HexText.h"

namespace forms::motorparam {
namespace {

constexpr int Group = 0;
// Two label, edit and unit triples per row.
constexpr int Second = 3;
constexpr int PhaseOrderWords = 3;
constexpr int PhaseOrderBytes = 2 * PhaseOrderWords;
constexpr int FirstResultWord = 5;
constexpr const char* kPhaseOrderAccepts = "请输入以空格分隔的 6 个十六进制数 (00 到 FF)";

constexpr GroupSpec kGroups[] = {{"电机参数配置", 0, 0}};

constexpr ListItem kAlgorithms[] = {
    {"速度闭环控制", 0, 1050},
    {"时间-位置闭环控制", 1, 1051},
};

constexpr ListItem kLearnStates[] = {
    {"未学习", NotLearned},
    {"已学习", Learned},
};

std::string FormatPhaseOrder(const uint8_t* record) {
  uint16_t words[PhaseOrderWords];
  std::memcpy(words, record, sizeof words);
  return PhaseOrderText(words);
}

std::string TakePhaseOrder(std::string_view text, uint8_t* record) {
  uint16_t words[PhaseOrderWords];
  std::string refusal = ParsePhaseOrder(text, words);
  if (refusal.empty()) std::memcpy(record, words, sizeof words);
  return refusal;
}

constexpr CustomCodec kPhaseOrderCodec{FormatPhaseOrder, TakePhaseOrder};

constexpr FieldSpec Number(int id, const char* label, RecordSlot slot, uint8_t decimals, int chars,
                           const char* unit, int row, int column) {
  return Field::Edit(id, label, slot).Decimals(decimals).Chars(chars).Unit(unit).At(Group, row, column);
}

// In the order they are shown, so a refusal names the first bad entry from
// the top.
constexpr FieldSpec kParams[] = {
    Number(1043, "额定电流:", KV_RECORD(MotorParamBlock, ratedCurrent), 2, 6, "A", 0, 0),
    Number(1044, "最大负载电流:", KV_RECORD(MotorParamBlock, maxLoadCurrent), 2, 6, "A", 0, Second),
    Number(1045, "制动电流:", KV_RECORD(MotorParamBlock, brakeCurrent), 2, 6, "A", 1, 0),
    Number(1094, "减速器减速比:", KV_RECORD(MotorParamBlock, gearRatio), 1, 6, ":1", 1, Second),
    Number(1049, "PWM调速启动缓冲:", KV_RECORD(MotorParamBlock, pwmStartBuffer), 1, 4, "秒", 2, 0),
    Number(1098, "PWM调速减速缓冲:", KV_RECORD(MotorParamBlock, pwmStopBuffer), 1, 4, "秒", 2, Second),
    Number(1083, "最大换向频率:", KV_RECORD(MotorParamBlock, maxFrequency), 1, 6, "Hz", 3, 0),
    Number(1095, "默认换向频率:", KV_RECORD(MotorParamBlock, defaultFrequency), 1, 6, "Hz", 3, Second),
    Number(1046, "最大加速加速度:", KV_RECORD(MotorParamBlock, maxAcceleration), 1, 6, "Hz/s", 4, 0),
    Number(1096, "默认加速加速度:", KV_RECORD(MotorParamBlock, defaultAcceleration), 1, 6, "Hz/s", 4, Second),
    Number(1047, "最大减速加速度:", KV_RECORD(MotorParamBlock, maxDeceleration), 1, 6, "Hz/s", 5, 0),
    Number(1058, "默认减速加速度:", KV_RECORD(MotorParamBlock, defaultDeceleration), 1, 6, "Hz/s", 5, Second),
    Number(1061, "位置控制允许误差:", KV_RECORD(MotorParamBlock, positionTolerance), 0, 3, "脉冲", 6, 0),
    Number(1093, "电机极个数:", KV_RECORD(MotorParamBlock, poleCount), 0, 3, "个", 6, Second),
    Field::Radio("稳速控制算法:", kAlgorithms, KV_RECORD(MotorParamBlock, speedAlgorithm)).Bit0().Span(5).At(Group, 7),
    Field::Check(1102, "位置控制超调后进行校正", KV_RECORD(MotorParamBlock, overshootCorrection)).Span(3).At(Group, 8),
    Field::Check(1073, "禁用电机学习功能", KV_RECORD(MotorParamBlock, learningDisabled)).Span(3).At(Group, 8, Second),
    Field::List(id::LearnState, "电机学习状态:", kLearnStates, KV_RECORD(MotorParamBlock, learnState))
        .Bit0()
        .Span(2)
        .At(Group, 9),
    Field::Edit(id::PhaseOrder, "电机相序数据:", KV_RECORD_CUSTOM(MotorParamBlock, phaseOrder))
        .WithCodec(&kPhaseOrderCodec)
        .ReadOnly()
        .Chars(17)
        .Span(3)
        .At(Group, 10),
};

// The learning button beside the state, read and configure at the right.
constexpr FieldSpec kControls[] = {
    Field::Button(id::StartLearning, StartLearningText).At(Group, 9, Second),
    Field::Button(id::Read, "读取").Span(2).At(Group, 9, Second + 1),
    Field::Button(id::Configure, "配置").Span(2).At(Group, 10, Second + 1),
};

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Params() { return kParams; }
std::span<const FieldSpec> Controls() { return kControls; }

FormValues InitialParams() {
  FormValues values(std::size(kParams));
  for (size_t i = 0; i < values.size(); ++i) {
    if (kParams[i].kind == FieldKind::Radio || kParams[i].kind == FieldKind::Check) values[i].index = 0;
  }
  return values;
}

std::string PhaseOrderText(const uint16_t words[3]) {
  uint8_t bytes[PhaseOrderBytes];
  for (int i = 0; i < PhaseOrderWords; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(words[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(words[i] & 0xFF);
  }
  std::string text = FormatHexBytes(bytes, PhaseOrderBytes);
  text.pop_back();  // the space after the last byte
  return text;
}

std::string ParsePhaseOrder(std::string_view text, uint16_t words[3]) {
  std::vector<int> bytes;
  size_t i = 0;
  while (i < text.size()) {
    if (IsSpace(text[i])) {
      ++i;
      continue;
    }
    int value = 0;
    size_t digits = 0;
    for (; i < text.size() && !IsSpace(text[i]); ++i, ++digits) {
      const int digit = HexDigit(text[i]);
      if (digit < 0 || digits == 2) return kPhaseOrderAccepts;
      value = value * 16 + digit;
    }
    bytes.push_back(value);
  }
  if (bytes.empty()) bytes.assign(PhaseOrderBytes, 0);
  if (bytes.size() != PhaseOrderBytes) return kPhaseOrderAccepts;
  for (int k = 0; k < PhaseOrderWords; ++k) {
    words[k] = static_cast<uint16_t>((bytes[2 * k] << 8) | bytes[2 * k + 1]);
  }
  return {};
}

std::string LearnedPhaseOrder(const LearningBlock& block) {
  std::string text;
  for (int i = 0; i < PhaseOrderBytes; ++i) {
    if (i > 0) text += ' ';
    text += CFormat("%02X", static_cast<unsigned>(block.words[FirstResultWord + i]));
  }
  return text;
}

std::string LearningMessage(const LearningReport& report) {
  switch (report.end) {
    case LearningReport::End::StartRefused:
    case LearningReport::End::PollFailed:
      return ResultText(report.result);
    case LearningReport::End::Succeeded:
      return "学习成功";
    case LearningReport::End::Failed:
      return "学习失败";
    case LearningReport::End::AbnormalStop:
      return "学习异常终止";
  }
  return {};
}

}  // namespace forms::motorparam
