// Writes the fuzz targets' seed corpus: every request the tool sends (built
// by its own request builders), the simulated driver's answers to them, its
// exceptions and identification answers, each in the input layout of its
// target. Run once when a layout changes: fuzz_seeds tests/fuzz/corpus
// (the decode seeds: the request's length, the request, its answer)
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/FrameCodec.h"
#include "sim/ModbusTcpGateway.h"
#include "sim/SimulatedDriver.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

enum Kind : uint8_t { Read = 0, WriteOne = 1, WriteMany = 2, Identify = 3, LineEchoes = 4 };

struct Request {
  const char* name;
  uint8_t kind;
  uint16_t first;
  uint16_t second;
};

// The requests of the register map's operations, as the answer target
// builds them from its header.
constexpr Request kRequests[] = {
    {"read-device-info", Read, 0x0000, 14},   {"read-status", Read, 0x0020, 22},
    {"read-ramp", Read, 0x0050, 4},           {"read-motor-params", Read, 0x0060, 23},
    {"read-system-params", Read, 0x0080, 26}, {"read-reciprocate", Read, 0x00A0, 10},
    {"read-reciprocate-command", Read, 0x00AA, 1}, {"read-preset-speed", Read, 0x00B0, 4},
    {"read-pid", Read, 0x00BA, 18},           {"read-learning", Read, 0x00E0, 11},
    {"write-stop", WriteOne, 0x0040, 1},      {"write-pwm", WriteOne, 0x0042, 0xFC18},
    {"write-frequency", WriteOne, 0x0043, 100}, {"write-third-speed", WriteOne, 0x0044, 7},
    {"write-reciprocate-command", WriteOne, 0x00AA, 4}, {"write-position-move", WriteMany, 0x0044, 4},
    {"write-ramp", WriteMany, 0x0050, 4},     {"write-motor-params", WriteMany, 0x0060, 23},
    {"write-system-params", WriteMany, 0x0080, 26}, {"write-reciprocate", WriteMany, 0x00A0, 10},
    {"write-preset-speed", WriteMany, 0x00B0, 4}, {"write-pid", WriteMany, 0x00BA, 18},
    {"write-learning", WriteMany, 0x00E0, 4}, {"identify", Identify, 0x0001, 0x00},
    {"identify-more", Identify, 0x0001, 0x80}, {"read-missing", Read, 0x0300, 2},
};

// The request as the answer target builds it (values of a block write are
// i * 0x0101).
Bytes Build(const Request& r) {
  Frame frame;
  switch (r.kind & 3) {
    case Read:
      frame = BuildReadRequest(1, r.first, r.second);
      break;
    case WriteOne:
      frame = BuildWriteSingleRequest(1, r.first, r.second);
      break;
    case WriteMany: {
      uint16_t values[MaxWriteRegisters];
      for (uint16_t i = 0; i < MaxWriteRegisters; ++i) values[i] = static_cast<uint16_t>(i * 0x0101u);
      BuildWriteMultipleRequest(1, r.first, values, r.second, frame);
      break;
    }
    default:
      frame = BuildDeviceIdRequest(1, static_cast<uint8_t>(r.first), static_cast<uint8_t>(r.second));
      break;
  }
  return Bytes(frame.bytes.begin(), frame.bytes.begin() + static_cast<std::ptrdiff_t>(frame.length));
}

Bytes Header(const Request& r, uint8_t flags) {
  return {static_cast<uint8_t>(r.kind | flags), 1, static_cast<uint8_t>(r.first >> 8),
          static_cast<uint8_t>(r.first), static_cast<uint8_t>(r.second >> 8), static_cast<uint8_t>(r.second),
          0x12, 0x34};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

void Write(const fs::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The MBAP answer of the simulated gateway to the RTU `request` sent as
// `transaction`.
Bytes GatewayAnswer(sim::SimulatedDriver& driver, const Bytes& request, uint16_t transaction) {
  Bytes adu = {static_cast<uint8_t>(transaction >> 8), static_cast<uint8_t>(transaction), 0, 0,
               0, static_cast<uint8_t>(request.size() - 2)};
  adu.insert(adu.end(), request.begin(), request.end() - 2);
  return sim::AnswerAdu(driver, adu.data(), adu.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  const fs::path root = argv[1];
  for (const char* target : {"answer", "identification", "sim_request", "frame_split", "decode", "mbap", "telnet"}) {
    fs::create_directories(root / target);
  }

  sim::SimulatedDriver learned(sim::DriverOptions{.learned = true});
  sim::SimulatedDriver fresh;  // not learned: motion answers exception 0x60
  Bytes allRequests = {0x02};
  Bytes walk;
  Bytes traffic;  // every request and its answer, back to back, as a listener hears them
  for (const Request& r : kRequests) {
    const Bytes request = Build(r);
    const Bytes answer = learned.Respond(request);
    Write(root / "answer" / r.name, Join({Header(r, 0), answer}));
    const Bytes adu = GatewayAnswer(learned, request, 0x0102);
    Write(root / "mbap" / r.name, Join({Header(r, 0), {0x01, 0x02}, adu}));
    Write(root / "sim_request" / r.name, Join({{0x02}, request}));
    Write(root / "decode" / r.name, Join({{static_cast<uint8_t>(request.size())}, request, answer}));
    allRequests.insert(allRequests.end(), request.begin(), request.end());
    traffic = Join({traffic, request, answer});
    if ((r.kind & 3) == Identify) {
      // From the more-follows byte on, as the master hands it to the walk.
      const Bytes data(answer.begin() + 5, answer.end() - 2);
      const Bytes step = Join({{static_cast<uint8_t>(data.size())}, data});
      Write(root / "identification" / r.name, step);
      walk.insert(walk.end(), step.begin(), step.end());
    }
  }
  Write(root / "identification" / "identify-walk", walk);
  Write(root / "sim_request" / "all-requests", allRequests);

  // Answers around the clean ones: an echo in front, noise, stray bytes,
  // the driver's own exceptions.
  const Request& ramp = kRequests[2];
  const Bytes rampAnswer = learned.Respond(Build(ramp));
  Write(root / "answer" / "echo-then-answer", Join({Header(ramp, 0), Build(ramp), rampAnswer}));
  Write(root / "answer" / "noise-then-answer", Join({Header(ramp, 0), {0x00, 0x01}, rampAnswer}));
  Write(root / "answer" / "answer-then-stray", Join({Header(ramp, 0), rampAnswer, {0xFF}}));
  const Request& stop = kRequests[10];
  Write(root / "answer" / "write-echo-then-answer",
        Join({Header(stop, LineEchoes), Build(stop), learned.Respond(Build(stop))}));
  const Request& pwm = kRequests[11];
  Write(root / "answer" / "exception-not-learned", Join({Header(pwm, 0), fresh.Respond(Build(pwm))}));
  // A gateway's late answer (the identifier before) ahead of the one waited
  // for, and its own exception for a unit that does not answer.
  Write(root / "mbap" / "stale-then-answer",
        Join({Header(ramp, 0), {0x01, 0x02}, GatewayAnswer(learned, Build(ramp), 0x0101),
              GatewayAnswer(learned, Build(ramp), 0x0102)}));
  Bytes silentUnit = Build(ramp);
  silentUnit[0] = 9;
  Bytes header = Header(ramp, 0);
  header[1] = 9;
  Write(root / "mbap" / "target-failed", Join({header, {0x01, 0x02}, GatewayAnswer(learned, silentUnit, 0x0102)}));
  // A COM-port-control server's stream: its negotiation, the confirmation
  // of a rate, data size, parity and stop size, then an answer with a
  // doubled 0xFF among its bytes.
  const Bytes negotiation = {0xFF, 0xFD, 44, 0xFF, 0xFB, 0, 0xFF, 0xFD, 0, 0xFF, 0xFB, 3};
  const Bytes confirmations = {0xFF, 0xFA, 44, 101, 0, 0, 0x4B, 0, 0xFF, 0xF0, 0xFF, 0xFA, 44, 102, 8, 0xFF, 0xF0,
                               0xFF, 0xFA, 44, 103, 1, 0xFF, 0xF0, 0xFF, 0xFA, 44, 104, 2, 0xFF, 0xF0};
  Bytes escapedAnswer;
  for (uint8_t b : learned.Respond(Build(kRequests[1]))) {
    escapedAnswer.push_back(b);
    if (b == 0xFF) escapedAnswer.push_back(0xFF);
  }
  Write(root / "telnet" / "negotiation", Join({{0x12, 0x34}, negotiation, confirmations}));
  Write(root / "telnet" / "answer-between-commands",
        Join({{0x12, 0x34}, confirmations, escapedAnswer, {0xFF, 0xF1, 0xFF, 0xFF}, negotiation}));
  // The listener's seeds: 9600 bit/s without parity; then the same with
  // silences in the times, and with noise and an unanswered request between.
  Write(root / "frame_split" / "traffic", Join({{0x03, 0x12, 0x34}, traffic}));
  Write(root / "frame_split" / "traffic-with-silences", Join({{0x83, 0x12, 0x34}, traffic}));
  Write(root / "frame_split" / "traffic-with-noise",
        Join({{0x13, 0x56, 0x78}, Build(ramp), {0x00, 0xFF, 0x5A}, Build(ramp), rampAnswer, Build(kRequests[1]),
              learned.Respond(Build(kRequests[1]))}));

  learned.SetRegister(0x0094, 1);  // parameters locked
  const Request& writeRamp = kRequests[16];
  Write(root / "answer" / "exception-locked", Join({Header(writeRamp, 0), learned.Respond(Build(writeRamp))}));
  const Bytes rampRequest = Build(ramp);
  Write(root / "decode" / "echo-noise-then-answer",
        Join({{static_cast<uint8_t>(rampRequest.size())}, rampRequest, rampRequest, {0x00, 0x01}, rampAnswer}));
  return 0;
}
