#include "cli/AddressList.h"

#include <algorithm>
#include <array>

#include "lang/Texts.h"

namespace cli {
namespace {

constexpr int kLowest = 1;
constexpr int kHighest = 128;

bool ParseAddress(const std::string& text, int& value) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoi(text);
  return value >= kLowest && value <= kHighest;
}

}  // namespace

std::string ParseAddressList(const std::string& text, std::vector<uint8_t>& addresses) {
  std::vector<uint8_t> parsed;
  std::array<bool, kHighest + 1> seen{};
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const size_t dash = item.find('-');
    int first = 0, last = 0;
    const bool ok = dash == std::string::npos
                        ? ParseAddress(item, first) && ParseAddress(item, last)
                        : ParseAddress(item.substr(0, dash), first) && ParseAddress(item.substr(dash + 1), last) &&
                              first <= last;
    if (!ok) {
      return lang::Fill(lang::Tr("{1} 不是地址 1..128, 也不是范围 (如 5-8); 多个用逗号分隔, 如 1,3,5-8"),
                        {item.substr(0, 40)});
    }
    for (int address = first; address <= last; ++address) {
      if (!seen[static_cast<size_t>(address)]) parsed.push_back(static_cast<uint8_t>(address));
      seen[static_cast<size_t>(address)] = true;
    }
    start = comma + 1;
  }
  addresses = std::move(parsed);
  return {};
}

std::string CheckAddressList(const std::string& text) {
  std::vector<uint8_t> addresses;
  return ParseAddressList(text, addresses);
}

std::string AddressListText(const std::vector<uint8_t>& addresses) {
  std::string text;
  for (size_t i = 0; i < addresses.size();) {
    size_t end = i;
    while (end + 1 < addresses.size() && addresses[end + 1] == addresses[end] + 1) ++end;
    text += (text.empty() ? "" : ", ") + std::to_string(addresses[i]);
    if (end > i) text += "-" + std::to_string(addresses[end]);
    i = end + 1;
  }
  return text;
}

}  // namespace cli
