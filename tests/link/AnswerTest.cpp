// The pure side of reading an answer: where an answer ends, and the quiet
// gap of a line. Where it lies among the bytes received is checked on a
// real line (DriverLinkTest) and fuzzed.
#include <gtest/gtest.h>

#include "WireBytes.h"
#include "link/Answer.h"
#include "link/LineTiming.h"

namespace {

using Kind = AnswerFit::Kind;

TEST(FitAnswer, EndsWhereTheHeaderSays) {
  struct Case {
    std::vector<uint8_t> bytes;
    Kind kind;
    size_t length;
  };
  const Case cases[] = {
      {Bytes("01"), Kind::NeedsMore, 0},
      {Bytes("01 03"), Kind::NeedsMore, 0},
      {WithCrc("01 03 02 00 07"), Kind::Complete, 7},
      {Bytes("01 03 02 00 07 00 00"), Kind::BadCrc, 7},
      {Bytes("01 03 04 00 07 00"), Kind::NeedsMore, 0},
      {Bytes("01 03 FF"), Kind::Impossible, 0},  // 260 bytes: more than a frame holds
      {WithCrc("01 06 00 40 00 02"), Kind::Complete, 8},
      {WithCrc("01 10 00 50 00 04"), Kind::Complete, 8},
      {WithCrc("01 83 02"), Kind::Complete, 5},
      {WithCrc("01 AB 01"), Kind::Complete, 5},
      {WithCrc("01 04 02 00 07"), Kind::Unknown, 0},
      // Identification: at the first object end where the CRC holds,
      // whatever the object count says.
      {WithCrc("01 2B 0E 01 01 00 00 00 00 02 4B 56"), Kind::Complete, 14},
      {Bytes("01 2B 0E 01 01 00 00 01 00 09 4B"), Kind::NeedsMore, 0},
  };
  for (const Case& c : cases) {
    const AnswerFit fit = FitAnswer(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(fit.kind, c.kind) << Hex(c.bytes);
    EXPECT_EQ(fit.length, c.length) << Hex(c.bytes);
  }
}

// What a begun answer still needs, by its own header, so that a paced line
// is read once for the rest; nothing where the header cannot tell.
TEST(AnswerBytesToCome, CountsWhatTheHeaderStillOwes) {
  const Frame read = BuildReadRequest(1, 0x20, 22);
  Frame write;
  const uint16_t words[2] = {1, 2};
  ASSERT_TRUE(BuildWriteMultipleRequest(1, 0x50, words, 2, write));
  const Frame identify = BuildDeviceIdRequest(1, 1, 0);
  struct Case {
    const Frame* request;
    std::vector<uint8_t> received;
    size_t toCome;
  };
  const Case cases[] = {
      {&read, Bytes("01"), 48},               // before its byte count: as long as asked for
      {&read, Bytes("01 03"), 47},
      {&read, Bytes("02"), 0},                // another slave's
      {&read, Bytes("01 03 2C"), 46},         // 44 data bytes and the CRC
      {&read, Bytes("01 03 2C 00 07"), 44},
      {&read, Bytes("01 83"), 3},             // an exception is five bytes
      {&read, Bytes("01 83 02 C0"), 1},
      {&read, Bytes("02 03 2C"), 0},          // another slave's
      {&read, Bytes("01 10 00"), 0},          // another function's
      {&write, Bytes("01"), 7},
      {&write, Bytes("01 10"), 6},
      {&write, Bytes("01 10 00 50 00 02 41"), 1},
      {&write, Bytes("01 10 00 50 00 02 41 E9"), 0},
      {&identify, Bytes("01"), 0},
      {&identify, Bytes("01 2B 0E 01"), 0},  // told object by object
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnswerBytesToCome(*c.request, c.received.data(), c.received.size()), c.toCome) << Hex(c.received);
  }
}

TEST(QuietGap, IsThreeAndAHalfCharactersWithAFloor) {
  EXPECT_EQ(QuietGap(9600).count(), 4011);  // 11-bit characters
  EXPECT_EQ(QuietGap(19200).count(), 2006);
  EXPECT_EQ(QuietGap(115200).count(), 1750);
}

}  // namespace
