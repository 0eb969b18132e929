// The slave addresses of korvelt's --address: one address, or a list of
// addresses and ranges ("1,3,5-8"), each run in turn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// The addresses of `text` in the order given, each once; empty refusal on
// success, else what is wrong with which item, and `addresses` is unchanged.
std::string ParseAddressList(const std::string& text, std::vector<uint8_t>& addresses);
// The same check, for the option's validator.
std::string CheckAddressList(const std::string& text);
// "1, 3, 5-8": runs of consecutive addresses written as ranges.
std::string AddressListText(const std::vector<uint8_t>& addresses);

}  // namespace cli
