#include "fields/ParamTables.h"

#include <cstring>
#include <vector>

#include "fields/HexText.h"
#include "lang/Texts.h"

namespace fields {
namespace {

constexpr int PhaseOrderWords = 3;
constexpr int PhaseOrderBytes = 2 * PhaseOrderWords;
constexpr const char* kPhaseOrderAccepts = "请输入以空格分隔的 6 个十六进制数 (00 到 FF)";

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <auto& Table>
std::span<const ParamSpec> Fixed(const uint8_t*) {
  return Table;
}

std::span<const ParamSpec> PresetFor(const uint8_t* record) {
  PresetSpeedBlock block;
  std::memcpy(&block, record, sizeof block);
  return preset::ParamsFor(block.speedMode);
}

const ParamBlock kBlocks[] = {
    {"ramp", ramp::Title, &RegisterMap::Ramp, Fixed<ramp::Params>},
    {"motor", motor::Title, &RegisterMap::MotorParams, Fixed<motor::Params>},
    {"system", sys::Title, &RegisterMap::SystemParams, Fixed<sys::Params>},
    {"pid", pid::Title, &RegisterMap::Pid, Fixed<pid::Params>},
    {"reciprocate", reciprocate::Title, &RegisterMap::Reciprocate, Fixed<reciprocate::Params>},
    {"preset-speed", preset::Title, &RegisterMap::PresetSpeed, PresetFor},
};

}  // namespace

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
      if (digit < 0 || digits == 2) return lang::Tr(kPhaseOrderAccepts);
      value = value * 16 + digit;
    }
    bytes.push_back(value);
    if (bytes.size() > PhaseOrderBytes) return lang::Tr(kPhaseOrderAccepts);
  }
  if (bytes.empty()) bytes.assign(PhaseOrderBytes, 0);
  if (bytes.size() != PhaseOrderBytes) return lang::Tr(kPhaseOrderAccepts);
  for (int k = 0; k < PhaseOrderWords; ++k) {
    words[k] = static_cast<uint16_t>((bytes[2 * k] << 8) | bytes[2 * k + 1]);
  }
  return {};
}

std::string FormatPhaseOrderSlot(const uint8_t* record) {
  uint16_t words[PhaseOrderWords];
  std::memcpy(words, record, sizeof words);
  return PhaseOrderText(words);
}

std::string TakePhaseOrderSlot(std::string_view text, uint8_t* record) {
  uint16_t words[PhaseOrderWords];
  std::string refusal = ParsePhaseOrder(text, words);
  if (refusal.empty()) std::memcpy(record, words, sizeof words);
  return refusal;
}

std::span<const ParamBlock> ParamBlocks() { return kBlocks; }

const ParamBlock* FindParamBlock(std::string_view key) {
  for (const ParamBlock& block : kBlocks) {
    if (key == block.key) return &block;
  }
  return nullptr;
}

}  // namespace fields
