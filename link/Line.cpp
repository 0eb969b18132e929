#include "link/Line.h"

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
