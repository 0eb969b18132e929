#include "ui/forms/ConnectionPanel.h"

#include <gtest/gtest.h>

#include "ui/forms/DialogLayout.h"

namespace {

using namespace forms;

AddressSwitches Checked(std::initializer_list<int> switchNumbers) {
  AddressSwitches bits{};
  for (int number : switchNumbers) bits[number - 1] = 1;
  return bits;
}

TEST(AddressFromSwitches, BinaryWeightsPlusOne) {
  EXPECT_EQ(AddressFromSwitches(Checked({})), 1);
  EXPECT_EQ(AddressFromSwitches(Checked({1})), 2);
  EXPECT_EQ(AddressFromSwitches(Checked({3})), 5);
  EXPECT_EQ(AddressFromSwitches(Checked({7})), 65);
  EXPECT_EQ(AddressFromSwitches(Checked({1, 2, 4})), 12);
  EXPECT_EQ(AddressFromSwitches(Checked({1, 2, 3, 4, 5, 6, 7})), 128);
}

TEST(ConnectionItems, ListsAndBaudRates) {
  const auto ports = ComboItems(ids::PortCombo);
  ASSERT_EQ(ports.size(), 15u);
  EXPECT_STREQ(ports[0], "COM1");
  EXPECT_STREQ(ports[9], "COM10");
  EXPECT_STREQ(ports[14], "COM15");

  std::vector<int> rates;
  for (const char* item : ComboItems(ids::BaudCombo)) rates.push_back(BaudRateFromText(item));
  EXPECT_EQ(rates, (std::vector<int>{9600, 14400, 19200, 38400, 57600, 115200}));

  const auto parity = ComboItems(ids::ParityCombo);
  ASSERT_EQ(parity.size(), 3u);
  EXPECT_STREQ(parity[0], "无+2停止位");
  EXPECT_STREQ(parity[1], "奇+1停止位");
  EXPECT_STREQ(parity[2], "偶+1停止位");

  EXPECT_TRUE(ComboItems(ids::OpenPortButton).empty());
  EXPECT_EQ(BaudRateFromText("19200 bps"), 19200);
  EXPECT_EQ(BaudRateFromText(""), 0);
}

}  // namespace
