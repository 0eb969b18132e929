#include "ui/forms/HexText.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatHexBytes, TwoUpperCaseDigitsAndASpacePerByte) {
  EXPECT_EQ(forms::FormatHexBytes({}), "");
  EXPECT_EQ(forms::FormatHexBytes({0x01, 0x03, 0x00, 0x20, 0x00, 0x16, 0xC5, 0xCE}),
            "01 03 00 20 00 16 C5 CE ");
  EXPECT_EQ(forms::FormatHexBytes({0xab, 0x0f, 0xff}), "AB 0F FF ");
}

TEST(FormatHexBytes, WholeReceiveBuffer) {
  std::vector<uint8_t> bytes(256);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  const std::string text = forms::FormatHexBytes(bytes);
  ASSERT_EQ(text.size(), 3 * 256u);
  EXPECT_EQ(text.substr(0, 6), "00 01 ");
  EXPECT_EQ(text.substr(3 * 255), "FF ");
  EXPECT_EQ(forms::FormatHexBytes(bytes.data(), 2), "00 01 ");
}

}  // namespace
