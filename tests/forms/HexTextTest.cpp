#include "fields/HexText.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatHexBytes, TwoUpperCaseDigitsAndASpacePerByte) {
  EXPECT_EQ(fields::FormatHexBytes({}), "");
  EXPECT_EQ(fields::FormatHexBytes({0x01, 0x03, 0x00, 0x20, 0x00, 0x16, 0xC5, 0xCE}),
            "01 03 00 20 00 16 C5 CE ");
  EXPECT_EQ(fields::FormatHexBytes({0xab, 0x0f, 0xff}), "AB 0F FF ");
  const uint8_t bytes[] = {0x10, 0x20, 0x30};
  EXPECT_EQ(fields::FormatHexBytes(bytes, 2), "10 20 ");
}

}  // namespace
