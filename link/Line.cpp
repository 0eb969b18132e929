#include "link/Line.h"

#include <cctype>

namespace {
constexpr std::string_view kParityNames[] = {"none2", "odd", "even"};
}  // namespace

bool IsBaudRate(int baud) {
  for (int rate : kBaudRates)
    if (rate == baud) return true;
  return false;
}

std::string BaudRateList() {
  std::string list;
  for (int rate : kBaudRates) {
    if (!list.empty()) list += ", ";
    list += std::to_string(rate);
  }
  return list;
}

std::string_view ParityName(Parity parity) { return kParityNames[ParityIndex(parity)]; }

std::optional<Parity> ParityFromName(std::string_view name) {
  for (Parity parity : kParities)
    if (name == ParityName(parity)) return parity;
  return std::nullopt;
}

Parity ParityFromIndex(int index) {
  if (index <= 0) return Parity::None2;
  return index == 1 ? Parity::Odd : Parity::Even;
}

unsigned ComNumberOf(const std::string& port) {
  if (port.size() < 4 || port.size() > 7) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(port[i])) != "COM"[i]) return 0;
  }
  if (port[3] == '0') return 0;
  unsigned number = 0;
  for (size_t i = 3; i < port.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(port[i]))) return 0;
    number = number * 10 + static_cast<unsigned>(port[i] - '0');
  }
  return number;
}
