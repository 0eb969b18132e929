// What the master makes of the bytes that came back for a request: where
// the answer lies among them, and what it says. Pure functions over byte
// buffers: the waiting transaction asks whether an answer is complete and
// what result and what data it gives, and the fuzz targets drive both with
// any bytes at all.
//
// An answer is judged at the length its own header gives, so a stray byte
// after it or noise before it does not lose it; it is taken only from the
// request's slave, with a good CRC. A copy of the request in front of it
// (the local echo of many RS-485 adapters) is skipped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"

// How an answer that starts at a given byte ends among the bytes received.
struct AnswerFit {
  enum class Kind {
    NeedsMore,   // not all in yet
    Complete,    // a good CRC at the length its header gives
    BadCrc,      // all in by its header, but the CRC there is wrong
    Unknown,     // not a function the tool asks for: its length cannot be told
    Impossible,  // its header claims more than any frame can hold
  };
  Kind kind = Kind::NeedsMore;
  size_t length = 0;  // Complete, BadCrc: the length, CRC included
};

// A frame of `length` bytes, CRC included, whose first `available` bytes
// are at `bytes`: NeedsMore, Complete or BadCrc; Impossible beyond
// MaxFrameLength.
AnswerFit FitAtLength(const uint8_t* bytes, size_t available, size_t length);

// Fits the answer whose first `available` bytes are at `bytes`: a read by
// its byte count, a write 8 bytes, an exception 5, an identification
// answer at the first end of an object after which its CRC holds (its
// object count is not trusted).
AnswerFit FitAnswer(const uint8_t* bytes, size_t available);

// How many bytes the answer to `request` still needs, when the `count`
// bytes received begin with its first bytes: by the length its header
// tells, or, before that is in, by the length the request asks for; 0 when
// neither is known (nothing of the slave's yet, another function, an
// identification answer, which tells its length only object by object).
size_t AnswerBytesToCome(const Frame& request, const uint8_t* received, size_t count);

// Appends what still fits of `chunk` to the `count` bytes held in a buffer
// of `capacity` bytes; the rest is dropped. Returns the new count.
size_t AppendReceived(uint8_t* buffer, size_t count, const uint8_t* chunk, size_t length,
                      size_t capacity = MaxFrameLength);

struct AnswerSearch {
  enum class State {
    Incomplete,  // no answer yet; more bytes may complete one
    Found,       // an answer with a good CRC at the length its header gives
    Malformed,   // a frame of the slave with a good CRC at a length its header does not give
  };
  State state = State::Incomplete;
  size_t offset = 0;  // Found, Malformed: where the frame starts
  size_t length = 0;  // Found, Malformed: its length, CRC included
  bool echoSkipped = false;  // a copy of the request came first and was passed over
};

// Looks for the answer to `request` in the `count` bytes received since it
// was sent. `lineEchoes` says that the line is known to hand back what the
// master sends: only then is a copy of a write-single request (which reads
// exactly like its answer) taken for an echo. A Found answer stays found
// however many bytes follow it.
AnswerSearch FindAnswer(const Frame& request, const uint8_t* received, size_t count, bool lineEchoes);

// The result of a found answer (`length` bytes with a good CRC): the
// driver's exception code, success, or ResultBadResponse when the answer
// does not answer this request (another function, a write echo that
// differs, another MEI type or read code, an exception code outside
// 1..0x7F).
ModbusResult JudgeAnswer(const Frame& request, const uint8_t* answer, size_t length);

// The data a successful answer hands to the caller: a read's register bytes
// (as many as its byte count), an identification answer from its
// more-follows byte to its last object; nothing for writes.
struct AnswerData {
  const uint8_t* bytes = nullptr;
  size_t length = 0;
};
AnswerData DataOf(const uint8_t* answer, size_t length);
