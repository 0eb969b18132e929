// Fuzz target: the simulated driver's side of the line. A byte stream is
// cut into requests as its server does (by the length each request's
// function tells, the rest at once when it cannot be told), and each is
// answered.
//
// Input: byte 0 flags (bit 0: give every request a good CRC, so that the
// parser behind the CRC check is reached; bit 1: a learned motor); the rest
// is the stream.
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "link/FrameCodec.h"
#include "sim/RtuFrames.h"
#include "sim/SimulatedDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool seal = (data[0] & 1) != 0;
  auto now = sim::Clock::time_point(std::chrono::seconds(1));
  sim::DriverOptions options;
  options.learned = (data[0] & 2) != 0;
  options.now = [&now] { return now; };
  sim::SimulatedDriver driver(options);

  const uint8_t* pending = data + 1;
  const uint8_t* const end = data + size;
  static std::vector<uint8_t> request;  // keeps its room from one input to the next
  while (pending < end) {
    const auto left = static_cast<size_t>(end - pending);
    size_t length = sim::RequestLength(pending, left);
    if (length == 0 || length == sim::UnknownRequestLength || length > left) length = left;
    request.assign(pending, pending + length);
    pending += length;
    if (seal) {
      request.resize(request.size() + 2);
      sim::Reseal(request);
    }
    now += std::chrono::milliseconds(10);
    const std::vector<uint8_t> answer = driver.Respond(request);
    if (answer.empty()) continue;
    FUZZ_REQUIRE(answer.size() <= MaxFrameLength);
    FUZZ_REQUIRE(FrameCheck(answer.data(), answer.size(), driver.Address()));
    FUZZ_REQUIRE(request.size() >= 4 && request[0] == driver.Address());
    FUZZ_REQUIRE(answer[1] == request[1] || answer[1] == (request[1] | ExceptionBit));
    if (answer[1] & ExceptionBit) FUZZ_REQUIRE(answer.size() == 5 && answer[2] != 0);
  }
  return 0;
}
