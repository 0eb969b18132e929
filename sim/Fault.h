// Faults the simulated driver can put on its answers, and the answer itself
// as the serving side sends it: bytes, an optional delay before the first
// byte and an optional gap between single bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class FaultKind {
  None,
  NoAnswer,        // the request is lost: not executed, not answered
  BadCrc,          // the answer's CRC is wrong
  WrongAddress,    // the answer carries another slave address (valid CRC)
  Exception,       // the request is refused with `exceptionCode`
  Pieces,          // the answer goes out one byte at a time, `gap` apart
  Delay,           // the answer goes out after `delay`
  Garbage,         // noise bytes come before the answer
  OverLong,        // the answer is padded past 256 bytes (valid CRC)
  LyingByteCount,  // a read answer's byte count is off by `byteCountError` (valid CRC)
  WrongCount,      // a read answer carries `byteCountError` data bytes more (or fewer), and says so (valid CRC)
  WrongEcho,       // a write's echo names the register after the one written (valid CRC)
  AnyAddress,      // requests to any slave address are answered, from the driver's own address
  Split,           // the answer goes out in two halves, `gap` apart
  IgnoreWrites,    // writes get their right answer, but nothing is stored or done
};

struct Fault {
  FaultKind kind = FaultKind::None;
  uint8_t exceptionCode = 0x04;
  std::chrono::milliseconds delay{600};
  std::chrono::milliseconds gap{3};
  int byteCountError = 2;
  // How many requests it applies to before it clears itself (for
  // IgnoreWrites, how many writes); empty: until cleared.
  std::optional<uint32_t> requests;

  static Fault Of(FaultKind kind, std::optional<uint32_t> requests = std::nullopt);
  static Fault ExceptionCode(uint8_t code, std::optional<uint32_t> requests = std::nullopt);
  static Fault Delayed(std::chrono::milliseconds delay, std::optional<uint32_t> requests = std::nullopt);
  static Fault InPieces(std::chrono::milliseconds gap, std::optional<uint32_t> requests = std::nullopt);
  static Fault SplitBy(std::chrono::milliseconds gap, std::optional<uint32_t> requests = std::nullopt);
  static Fault CountOffBy(int bytes, std::optional<uint32_t> requests = std::nullopt);
};

// The pause in the middle of a split answer unless one is given: longer
// than the gap that ends a frame at any rate.
constexpr std::chrono::milliseconds DefaultSplitGap{20};

// Bytes placed before the frame by FaultKind::Garbage.
constexpr uint8_t GarbageBytes[] = {0x00, 0xFF, 0x5A};
// Length of the frame sent by FaultKind::OverLong.
constexpr size_t OverLongLength = 300;

struct Reply {
  std::vector<uint8_t> bytes;  // empty: no answer
  std::chrono::milliseconds delay{0};
  std::chrono::milliseconds pieceGap{0};  // 0: all bytes in one write
  size_t splitAt = 0;                     // nonzero: a pause of splitGap before this byte
  std::chrono::milliseconds splitGap{0};
};

// Turns a correct answer frame into what `fault` makes of it. NoAnswer and
// Exception change what the driver does and are not handled here.
Reply ShapeReply(const Fault& fault, std::vector<uint8_t> frame);

// Command-line names of the fault kinds ("no-answer", "bad-crc", ...).
std::string_view FaultName(FaultKind kind);
std::optional<FaultKind> FaultFromName(std::string_view name);

}  // namespace sim
