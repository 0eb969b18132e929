// A listener's framing: splits the bytes a line carries, from both sides,
// into Modbus RTU frames. Pure: it is handed chunks of received bytes with
// the time each chunk came, and hands back frames.
//
// Frames are found by their length and CRC: a request of any function whose
// length its header tells, an answer (a read by its byte count, a write 8
// bytes, an identification answer by its objects), an exception answer (5
// bytes). Where a request and an answer would both fit, the context
// settles it: after a request, a frame of the same slave and function is
// its answer, taken at the length its header gives or else at the length
// the request implies (a byte count that lies). Bytes that fit no frame come out together as one frame of kind
// Unknown with a bad CRC, ended by the next frame found, by a silence or at
// MaxFrameLength bytes. A silence of at least the quiet gap (3.5 characters
// of the line) ends such bytes; when they also began at a silence and their
// length is the one their header gives, they are that frame with a bad CRC.
// A frame whose CRC holds across a silence is kept whole: a reader that the
// system held up shows a pause that the line never had.
//
// Where the times show no silence (a pseudo-terminal, a recording fed in
// pieces), the frames depend only on the bytes, not on where the chunks
// were split. The splitter holds at most Capacity bytes, whatever it is fed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/Answer.h"
#include "link/FrameCodec.h"
#include "link/Stamp.h"

enum class FrameKind : uint8_t { Request, Answer, Exception, Unknown };

struct SplitFrame {
  std::span<const uint8_t> bytes;  // valid while the frame is being handled
  Stamp time;                      // when the chunk that brought its first byte came
  uint8_t slave = 0;               // its first byte
  uint8_t function = 0;            // its second byte; 0 for a frame of one byte
  FrameKind kind = FrameKind::Unknown;
  bool crcGood = false;
};

class FrameSplitter {
 public:
  using Sink = std::function<void(const SplitFrame&)>;

  // The most bytes held between calls: an open run of bytes that fit no
  // frame, and a frame still coming in.
  static constexpr size_t Capacity = 2 * MaxFrameLength;

  // Times the frames of a line at `baudRate` (the tool's 11-bit characters).
  explicit FrameSplitter(int baudRate);

  // Takes the next `length` bytes, which came at `arrival`, and hands every
  // frame they complete to `sink`, in order.
  void Feed(const uint8_t* bytes, size_t length, const Stamp& arrival, const Sink& sink);
  // The line has fallen silent, or the stream ends: everything held comes
  // out, and the next bytes start after a silence.
  void Flush(const Sink& sink);
  // Bytes held for frames not yet complete.
  size_t Held() const { return count_; }

 private:
  // One way to read the frame at a start; its fit is worked out only when
  // the better readings leave the choice open.
  struct Reading {
    enum class By : uint8_t { Request, Answer, AwaitedLength };
    FrameKind kind = FrameKind::Unknown;
    By by = By::Request;
  };
  struct Choice {
    enum class Action { Wait, Take, Skip } action = Action::Skip;
    FrameKind kind = FrameKind::Unknown;
    size_t length = 0;
  };
  // The answer a request leads the splitter to expect next.
  struct Awaited {
    bool active = false;
    uint8_t slave = 0;
    uint8_t function = 0;
    size_t length = 0;  // 0: not told by the request
  };

  void Parse(bool final, const Sink& sink);
  // What the frame starting at `at` is, with `available` bytes in; on a
  // final pass nothing more will come.
  Choice Choose(const uint8_t* at, size_t available, bool final) const;
  // The readings of the frame at `at`, the likeliest first; how many.
  size_t Rank(const uint8_t* at, size_t available, Reading (&ranked)[3]) const;
  AnswerFit FitOf(const Reading& reading, const uint8_t* at, size_t available) const;
  bool AnswerFirst(const uint8_t* at, size_t available) const;
  // Hands out the first `length` bytes as a frame and drops them.
  void Emit(size_t length, FrameKind kind, bool crcGood, const Sink& sink);
  // The bytes before parse_, which fit no frame; `endsAtSilence` when a
  // silence follows them.
  void EmitUnknown(bool endsAtSilence, const Sink& sink);
  void Drop(size_t length);

  std::chrono::nanoseconds characterTime_;
  std::chrono::nanoseconds quietGap_;

  uint8_t bytes_[Capacity] = {};
  Stamp times_[Capacity] = {};  // of each byte's chunk
  bool silenceBefore_[Capacity] = {};
  size_t count_ = 0;
  // bytes_[0, parse_) fit no frame; from parse_ on they are still to be placed.
  size_t parse_ = 0;
  Awaited awaited_;
  bool havePrevious_ = false;
  std::chrono::steady_clock::time_point previous_{};  // the last chunk's arrival
  bool silencePending_ = false;                       // set by Flush for the next chunk
};
