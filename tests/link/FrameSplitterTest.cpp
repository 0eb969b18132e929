// The listener's framing on golden traffic of two masters and their
// slaves: whole, split at random points, and with the line's silences.
#include <gtest/gtest.h>

#include <random>

#include "WireBytes.h"
#include "link/FrameSplitter.h"

namespace {

// A frame as kind, CRC verdict and bytes: "R+ 01 03 ...".
std::string Frame(char kind, bool crc, const std::vector<uint8_t>& bytes) {
  return std::string{kind, crc ? '+' : '-', ' '} + Hex(bytes);
}
std::string R(const char* hex) { return Frame('R', true, WithCrc(hex)); }
std::string A(const char* hex) { return Frame('A', true, WithCrc(hex)); }
std::string X(const char* hex) { return Frame('X', true, WithCrc(hex)); }
std::string U(const char* hex) { return Frame('U', false, Bytes(hex)); }

// Feeds `chunks` (bytes, milliseconds after the start) and flushes.
std::vector<std::string> Split(const std::vector<std::pair<std::vector<uint8_t>, int>>& chunks) {
  FrameSplitter splitter(9600);
  std::vector<std::string> frames;
  const auto take = [&](const SplitFrame& f) {
    frames.push_back(Frame("RAXU"[static_cast<int>(f.kind)], f.crcGood, {f.bytes.begin(), f.bytes.end()}));
  };
  const Stamp start = Stamp::Now();
  for (const auto& [bytes, ms] : chunks) {
    splitter.Feed(bytes.data(), bytes.size(), {start.monotonic + std::chrono::milliseconds(ms)}, take);
  }
  splitter.Flush(take);
  return frames;
}

// Two masters, their slaves' answers, a time-out, noise and a damaged
// request, back to back with no silence between.
const std::vector<std::string> kTraffic = {
    R("01 03 00 20 00 02"), A("01 03 04 00 01 00 02"),
    R("02 06 00 42 FC 18"), A("02 06 00 42 FC 18"),  // the echo reads like the request
    R("01 03 00 20 00 01"), A("01 03 03 AA BB CC"),  // 8 bytes like a read request: an answer here
    R("01 03 03 AA BB CC"),                           // the same bytes after no request: a request
    R("02 10 00 50 00 02 04 00 0A 00 0B"), A("02 10 00 50 00 02"),
    R("01 2B 0E 01 00"), A("01 2B 0E 01 01 00 00 02 00 02 4B 56 01 02 4D 31"),
    R("01 03 00 50 00 04"), X("01 83 02"),
    R("01 03 00 20 00 01"), A("01 03 04 00 01"),  // a byte count that lies: 4, with two data bytes
    R("02 03 00 20 00 01"),                        // no answer
    U("00 FF 5A"),
    R("02 03 00 20 00 01"), A("02 03 02 12 34"),
    R("03 04 00 00 00 01"), A("03 04 02 00 FF"),
    R("03 01 00 00 00 0A"), A("03 01 02 FF 03"),
    U("01 03 00 20 00 01 00 00"),  // its CRC damaged
    R("01 03 00 20 00 01"), A("01 03 04 00 01 00 02"),  // more registers than asked for
};

TEST(FrameSplitter, TellsEveryFrameOfTwoMastersWhereverTheStreamIsSplit) {
  std::vector<uint8_t> stream;
  for (const std::string& frame : kTraffic) {
    const auto bytes = Bytes(frame.substr(3));
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  ASSERT_EQ(Split({{stream, 0}}), kTraffic);
  std::mt19937 random(20240601);
  for (int run = 0; run < 300; ++run) {
    std::vector<std::pair<std::vector<uint8_t>, int>> chunks;
    for (size_t at = 0; at < stream.size();) {
      const size_t n = std::min<size_t>(1 + random() % 40, stream.size() - at);
      chunks.push_back({{stream.begin() + at, stream.begin() + at + n}, 0});
      at += n;
    }
    ASSERT_EQ(Split(chunks), kTraffic) << "run " << run;
  }
}

TEST(FrameSplitter, SilencesEndUnknownBytesAndDelimitDamagedFrames) {
  std::vector<uint8_t> damaged = WithCrc("01 03 04 00 01 00 02");
  damaged.back() ^= 0xFF;
  const auto answer = WithCrc("01 03 04 00 01 00 02");
  const std::vector<std::string> expected = {
      R("01 03 00 20 00 02"),
      Frame('A', false, damaged),  // between silences, at its header's length
      U("AA BB"), U("CC"),         // noise on either side of a silence
      A("01 03 04 00 01 00 02"),   // its CRC holds across a pause: whole
  };
  EXPECT_EQ(Split({{WithCrc("01 03 00 20 00 02"), 0}, {damaged, 20}, {Bytes("AA BB"), 40}, {Bytes("CC"), 60},
                   {{answer.begin(), answer.begin() + 4}, 80}, {{answer.begin() + 4, answer.end()}, 110}}),
            expected);
}

}  // namespace
