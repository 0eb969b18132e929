#include <gtest/gtest.h>

#include "link/LineTiming.h"

namespace {

using namespace std::chrono_literals;

TEST(LineTiming, CharacterWireQuietAndTransactionTimesAtEachRate) {
  struct Case {
    int baud, characterBits;
    std::chrono::nanoseconds character, eightBytes;
    std::chrono::microseconds quiet;
  };
  const Case cases[] = {
      {1200, 11, 9'166'667ns, 73'333'334ns, 32084us},
      {9600, 11, 1'145'834ns, 9'166'667ns, 4011us},
      {19200, 11, 572'917ns, 4'583'334ns, 2006us},
      {115200, 11, 95'487ns, 763'889ns, 1750us},    // the floor
      {9600, 10, 1'041'667ns, 8'333'334ns, 3646us},  // a 10-bit character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    EXPECT_EQ(CharacterTime(c.baud, c.characterBits), c.character);
    EXPECT_EQ(WireTime(8, c.baud, c.characterBits), c.eightBytes);
    EXPECT_EQ(QuietGap(c.baud, c.characterBits), c.quiet);
  }
  // 8 + 33 bytes at 9600 bit/s: 46.98 ms on the wire, 4.011 ms of quiet gap.
  EXPECT_EQ(TransactionTimeout(8, 33, 9600, 10ms), 46'980us + 4'011us + 10ms);
  EXPECT_EQ(TransactionTimeout(8, 33, 9600), TransactionTimeout(8, 33, 9600, DefaultTransactionMargin));
}

}  // namespace
