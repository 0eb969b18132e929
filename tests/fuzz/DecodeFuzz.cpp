// Fuzz target: the frame decoder on any request and anything that comes
// back for it, and the listener's path: what came back split into frames
// and each described as `korvelt listen` does. Whatever the bytes, every
// description is one line of printable UTF-8 that names what it saw, and
// every field has a name.
//
// Input: byte 0 the request's length L, then L bytes of request, then what
// came back (an answer, or an answer among echo and noise).
#include <cstdint>
#include <span>
#include <string>

#include "FuzzCheck.h"
#include "decode/FrameMeaning.h"
#include "link/FrameSplitter.h"
#include "traffic/TrafficRecord.h"

namespace {

// An oracle of its own: the decoder's texts hold UTF-8 sequences only,
// without control characters.
bool PrintableUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x20 || lead == 0x7F) return false;
    size_t length = 1;
    if (lead >= 0x80) {
      if (lead < 0xC2 || lead > 0xF4) return false;
      length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      if (i + length > text.size()) return false;
      uint32_t code = lead & (0x7F >> length);
      for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return false;
        code = (code << 6) | (next & 0x3F);
      }
      const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
      if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    }
    i += length;
  }
  return true;
}

void Check(const decode::Meaning& meaning) {
  FUZZ_REQUIRE(!meaning.text.empty());
  FUZZ_REQUIRE(PrintableUtf8(meaning.text));
  for (const decode::FieldText& field : meaning.fields) {
    FUZZ_REQUIRE(!field.name.empty());
    FUZZ_REQUIRE(PrintableUtf8(field.name) && PrintableUtf8(field.text));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t requestLength = std::min<size_t>(data[0], size - 1);
  const std::span<const uint8_t> request(data + 1, requestLength);
  const std::span<const uint8_t> back(data + 1 + requestLength, size - 1 - requestLength);
  Check(decode::DescribeRequest(request));
  Check(decode::DescribeAnswer(back, request));
  Check(decode::DescribeAnswer(back));
  Check(decode::DescribeReceived(back, request));
  decode::Conversation heard;
  Check(heard.Request(request));
  Check(heard.Answer(back));
  Check(heard.Answer(back));

  FrameSplitter splitter(9600);
  decode::Conversation line;
  uint64_t frames = 0;
  const auto describe = [&](const SplitFrame& frame) {
    const traffic::Record record = traffic::FromHeard(frame, ++frames, line);
    FUZZ_REQUIRE(!record.meaning.empty() && PrintableUtf8(record.meaning));
  };
  const Stamp now{std::chrono::steady_clock::time_point(std::chrono::hours(1)), 0};
  splitter.Feed(data + 1, size - 1, now, describe);
  splitter.Flush(describe);
  return 0;
}
