#include "sim/CommandLine.h"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "sim/RegisterImage.h"

namespace sim {

namespace {

constexpr long MaxSlaveAddress = 128;

template <typename Value>
std::vector<uint8_t> AimedAddresses(const std::map<uint8_t, Value>& aimed) {
  std::vector<uint8_t> addresses;
  for (const auto& entry : aimed) addresses.push_back(entry.first);
  return addresses;
}

bool ParseInteger(std::string_view text, long min, long max, long& value) {
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  value = std::strtol(copy.c_str(), &end, 0);
  return !copy.empty() && *end == '\0' && errno == 0 && value >= min && value <= max;
}

// A decimal number from 0 to `max` units, as a whole number of `Duration`
// (a thousandth of the unit).
template <typename Duration>
bool ParseThousandths(std::string_view text, double max, Duration& value) {
  const std::string copy(text);
  char* end = nullptr;
  const double units = std::strtod(copy.c_str(), &end);
  if (copy.empty() || *end != '\0' || !(units >= 0) || units > max) return false;
  value = Duration(std::llround(units * 1000.0));
  return true;
}

bool ParseSeconds(std::string_view text, std::chrono::milliseconds& value) {
  return ParseThousandths(text, 86400, value);
}

bool ParseMilliseconds(std::string_view text, std::chrono::microseconds& value) {
  return ParseThousandths(text, 60000, value);
}

bool ParseOutcome(std::string_view text, LearningOutcome& outcome) {
  if (text == "success") outcome = LearningOutcome::Success;
  else if (text == "failure") outcome = LearningOutcome::Failure;
  else if (text == "abort") outcome = LearningOutcome::AbnormalStop;
  else return false;
  return true;
}

// KIND or KIND=VALUE; the value is the exception code, the delay or gap in
// ms, or the byte count error.
bool ParseFault(std::string_view text, Fault& fault) {
  const size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  const std::optional<FaultKind> kind = FaultFromName(name);
  if (!kind) return false;
  const auto requests = fault.requests;
  fault = Fault::Of(*kind, requests);
  if (equals == std::string_view::npos) return *kind != FaultKind::Exception;
  long value = 0;
  const std::string_view argument = text.substr(equals + 1);
  switch (*kind) {
    case FaultKind::Exception:
      if (!ParseInteger(argument, 1, 255, value)) return false;
      fault.exceptionCode = static_cast<uint8_t>(value);
      return true;
    case FaultKind::Delay:
      if (!ParseInteger(argument, 0, 60000, value)) return false;
      fault.delay = std::chrono::milliseconds(value);
      return true;
    case FaultKind::Pieces:
    case FaultKind::Split:
      if (!ParseInteger(argument, 0, 1000, value)) return false;
      fault.gap = std::chrono::milliseconds(value);
      return true;
    case FaultKind::LyingByteCount:
    case FaultKind::WrongCount:
      if (!ParseInteger(argument, -255, 255, value) || value == 0) return false;
      fault.byteCountError = static_cast<int>(value);
      return true;
    default:
      return false;
  }
}

// Bytes from a text with C escapes: \\ \n \r \t \e (ESC) \0 and \xHH
// stand for one byte each; every other byte stands for itself.
bool ParseEscapes(std::string_view text, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
    } else if (++i >= text.size()) {
      return false;
    } else if (text[i] == 'x') {
      long value = 0;
      if (i + 2 >= text.size() || !ParseInteger("0x" + std::string(text.substr(i + 1, 2)), 0, 255, value)) {
        return false;
      }
      bytes += static_cast<char>(value);
      i += 2;
    } else {
      constexpr std::string_view kNames = "\\nrte0";
      constexpr char kBytes[] = {'\\', '\n', '\r', '\t', '\x1B', '\0'};
      const size_t at = kNames.find(text[i]);
      if (at == std::string_view::npos) return false;
      bytes += kBytes[at];
    }
  }
  return bytes.size() <= maxBytes;
}

// ID=BYTES, an object added to those served.
bool ParseObject(std::string_view text, DriverOptions& driver) {
  const size_t equals = text.find('=');
  long id = 0;
  std::string value;
  if (equals == std::string_view::npos || !ParseInteger(text.substr(0, equals), 0, 255, id) ||
      !ParseEscapes(text.substr(equals + 1), MaxObjectValue, value)) {
    return false;
  }
  if (!driver.identificationObjects) driver.identificationObjects.emplace();
  driver.identificationObjects->push_back({static_cast<uint8_t>(id), std::move(value)});
  return true;
}

// silent, or exception=CODE.
bool ParseIdentification(std::string_view text, DriverOptions& driver) {
  if (text == "silent") {
    driver.identificationSilent = true;
    return true;
  }
  constexpr std::string_view kException = "exception=";
  long code = 0;
  if (text.substr(0, kException.size()) != kException ||
      !ParseInteger(text.substr(kException.size()), 1, 255, code)) {
    return false;
  }
  driver.identificationException = static_cast<uint8_t>(code);
  return true;
}

// "@LIST:VALUE": the addresses it is aimed at, and the value for them.
// Without the "@", `addresses` is left empty: the value is for all.
bool SplitAim(std::string_view text, std::vector<uint8_t>& addresses, std::string_view& value) {
  addresses.clear();
  value = text;
  if (text.empty() || text[0] != '@') return true;
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  value = text.substr(colon + 1);
  return ParseAddressList(text.substr(1, colon - 1), addresses);
}

// --fault and --turnaround for the addresses in `aim`; no other option is
// given per address.
bool ParseAimed(std::string_view option, std::string_view value, const std::vector<uint8_t>& aim,
                CommandLine& line) {
  if (option == "--fault") {
    Fault fault;
    if (!ParseFault(value, fault)) return false;
    for (uint8_t address : aim) line.aimedFaults[address] = fault;
    return true;
  }
  if (option == "--turnaround") {
    std::chrono::microseconds turnaround{};
    if (!ParseMilliseconds(value, turnaround)) return false;
    for (uint8_t address : aim) line.aimedTurnarounds[address] = turnaround;
    return true;
  }
  return false;
}

// Every address a value was aimed at must be one of those served.
bool AimsServed(const CommandLine& line, std::string& error) {
  const auto served = [&](uint8_t address) {
    return std::binary_search(line.addresses.begin(), line.addresses.end(), address);
  };
  for (const auto& [option, aims] : {std::pair{"--fault", AimedAddresses(line.aimedFaults)},
                                     std::pair{"--turnaround", AimedAddresses(line.aimedTurnarounds)}}) {
    for (uint8_t address : aims) {
      if (served(address)) continue;
      error = std::string(option) + " aimed at " + std::to_string(address) + ", which --address does not serve";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseAddressList(std::string_view text, std::vector<uint8_t>& addresses) {
  std::bitset<MaxSlaveAddress + 1> listed;
  for (size_t start = 0; start <= text.size();) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = text.substr(start, comma - start);
    const size_t dash = item.find('-');
    long first = 0;
    long last = 0;
    if (!ParseInteger(item.substr(0, dash), 1, MaxSlaveAddress, first)) return false;
    last = first;
    if (dash != std::string_view::npos && (!ParseInteger(item.substr(dash + 1), first, MaxSlaveAddress, last))) {
      return false;
    }
    for (long address = first; address <= last; ++address) {
      if (listed[static_cast<size_t>(address)]) return false;
      listed[static_cast<size_t>(address)] = true;
    }
    start = comma + 1;
  }
  addresses.clear();
  for (size_t address = 1; address <= MaxSlaveAddress; ++address) {
    if (listed[address]) addresses.push_back(static_cast<uint8_t>(address));
  }
  return true;
}

DriverOptions DriverOptionsFor(const CommandLine& line, uint8_t address) {
  DriverOptions options = line.driver;
  options.address = address;
  return options;
}

Fault FaultFor(const CommandLine& line, uint8_t address) {
  const auto aimed = line.aimedFaults.find(address);
  return aimed != line.aimedFaults.end() ? aimed->second : line.fault;
}

std::chrono::microseconds TurnaroundFor(const CommandLine& line, uint8_t address) {
  const auto aimed = line.aimedTurnarounds.find(address);
  return aimed != line.aimedTurnarounds.end() ? aimed->second : line.turnaround;
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") {
      line.help = true;
      continue;
    }
    if (option == "--version") {
      line.version = true;
      continue;
    }
    if (option == "--learned") {
      line.driver.learned = true;
      continue;
    }
    if (option == "--edge-values") {
      line.driver.edgeValues = true;
      continue;
    }
    if (option == "--wire") {
      line.wire = true;
      continue;
    }
    if (option == "--any-settings") {
      line.anySettings = true;
      continue;
    }
    if (option == "--verbose") {
      line.verbose = true;
      continue;
    }
    if (option == "--stall") {
      line.motorFault = MotorFault::Stall;
      continue;
    }
    if (option == "--hall-error") {
      line.motorFault = MotorFault::HallError;
      continue;
    }
    if (i + 1 >= argc) {
      error = std::string(option) + " needs a value";
      return false;
    }
    const std::string_view given = argv[++i];
    std::vector<uint8_t> aim;
    std::string_view value = given;
    long number = 0;
    bool ok = SplitAim(given, aim, value);
    if (!ok) {
    } else if (!aim.empty()) {
      ok = ParseAimed(option, value, aim, line);
    } else if (option == "--com") {
      ok = ParseInteger(value, 1, 255, number);
      line.com = static_cast<unsigned>(number);
    } else if (option == "--ports") {
      line.portsFolder = value;
      ok = !value.empty();
    } else if (option == "--tcp") {
      ok = ParseInteger(value, 0, 65535, number);
      line.tcpPort = static_cast<uint16_t>(number);
    } else if (option == "--modbus-tcp") {
      ok = ParseInteger(value, 0, 65535, number);
      line.modbusTcpPort = static_cast<uint16_t>(number);
    } else if (option == "--baud") {
      ok = ParseInteger(value, 1, 115200, number) && IsBaudRate(static_cast<int>(number));
      line.driver.baudRate = static_cast<uint32_t>(number);
    } else if (option == "--parity") {
      line.driver.parity = ParityFromName(value);
      ok = line.driver.parity.has_value();
    } else if (option == "--turnaround") {
      ok = ParseMilliseconds(value, line.turnaround);
    } else if (option == "--address") {
      ok = ParseAddressList(value, line.addresses);
      line.driver.address = line.addresses.empty() ? uint8_t{1} : line.addresses.front();
    } else if (option == "--learning-time") {
      ok = ParseSeconds(value, line.driver.learningDuration);
    } else if (option == "--learning-outcome") {
      ok = ParseOutcome(value, line.driver.learningOutcome);
    } else if (option == "--stroke-time") {
      ok = ParseSeconds(value, line.driver.strokeDuration);
    } else if (option == "--stroke") {
      ok = ParseInteger(value, 1, 2000000000, number);
      line.driver.sq2Position = line.driver.sq1Position + static_cast<int32_t>(number);
    } else if (option == "--load") {
      char* end = nullptr;
      const std::string copy(value);
      line.driver.load = std::strtod(copy.c_str(), &end);
      ok = *end == '\0' && line.driver.load >= 0 && line.driver.load <= 1;
    } else if (option == "--model") {
      std::string bytes;
      ok = ParseEscapes(value, 2u * reg::ModelTextCount, bytes);
      line.driver.model = std::move(bytes);
    } else if (option == "--object") {
      ok = ParseObject(value, line.driver);
    } else if (option == "--identification") {
      ok = ParseIdentification(value, line.driver);
    } else if (option == "--fault") {
      ok = ParseFault(value, line.fault);
    } else if (option == "--fault-count") {
      ok = ParseInteger(value, 1, 1000000000, number);
      line.fault.requests = static_cast<uint32_t>(number);
    } else {
      error = "unknown option " + std::string(option);
      return false;
    }
    if (!ok) {
      error = "bad value for " + std::string(option) + ": " + std::string(given);
      return false;
    }
  }
  // One count for every fault, wherever it was given.
  for (auto& [address, fault] : line.aimedFaults) fault.requests = line.fault.requests;
  return AimsServed(line, error);
}

namespace {

// "9600, 14400, ... or 115200".
std::string RateChoices() {
  std::string list = BaudRateList();
  return list.replace(list.rfind(", "), 2, " or ");
}

}  // namespace

std::string HelpText() {
  return R"(Usage: korvelt-driver-sim [options]

Simulates the motor driver as a Modbus RTU slave on a pseudo-terminal, linked
as COMn in the ports folder, so that KORVELT_Demo can open it as that port.
Prints "korvelt-driver-sim: COMn -> DEVICE" when ready; serves until SIGINT
or SIGTERM, then removes the link.

Port:
  --com N                 COM number of the link (default 1)
  --ports DIR             ports folder (default $KORVELT_PORTS, else
                          ~/.korvelt/ports; created if missing)
  --tcp PORT              no COM link: listen on 127.0.0.1:PORT instead (0:
                          any free port) and serve one connection at a time
                          with raw bytes, like an RS-485 device server;
                          prints "korvelt-driver-sim: tcp 127.0.0.1:PORT"
                          when ready
  --modbus-tcp PORT       no COM link: listen on 127.0.0.1:PORT (0: any free
                          port) as a Modbus TCP gateway in front of the
                          driver, one connection at a time; the unit
                          identifier is the slave address, and a request
                          the driver leaves unanswered gets exception 0x0B;
                          prints "korvelt-driver-sim: modbus-tcp
                          127.0.0.1:PORT" when ready
  --address LIST          slave addresses 1..128 (default 1): one, or a list
                          such as 1,2,5-8 for a bus of drivers on the one
                          line, each with its own registers, motor and
                          procedures; a write to address 0 (broadcast) is
                          done by every driver and answered by none

Line:
  --baud N                )" + RateChoices() + R"(
  --parity P              none2 (no parity, 2 stop bits), odd or even (1 stop
                          bit)
                          Both default to the serial registers of the system
                          parameters (9600 none2 from the factory, 14400 even
                          with --edge-values) and set them when given. As on
                          the real driver, a change of those registers over
                          the line takes effect at the next start. A master
                          whose port is at another rate or parity is not
                          answered (on a pseudo-terminal, which carries no
                          parity, no parity with 1 stop bit looks like even).
  --any-settings          answer a master at any rate and parity
  --wire                  time the line as RS-485 at the baud rate: a request
                          ends its length in 11-bit characters after its first
                          byte, the answer starts the turnaround later and its
                          bytes leave one character time apart; faults such as
                          delay, pieces and split add to that
  --turnaround MS         time from the end of a request to the answer with
                          --wire (default 1); @LIST:MS for the drivers at
                          LIST only, e.g. --turnaround @2:60

Registers:
  --edge-values           parameter blocks start from values that are hard to
                          show and write back (14400 bit/s, a list value
                          beyond its items, floats that "%f" or "%g" cannot
                          carry, other bits beside check-box bits, reserved
                          registers set, torque-scaled preset speeds) instead
                          of factory defaults
  --model BYTES           the model registers hold these bytes (up to 16, the
                          rest zero) instead of KVB-4815-RS485-S

Identification (function 0x2B/0x0E):
  --object ID=BYTES       serve this object (ID 0..255, as 0x80 or 128)
                          instead of the driver's own list; repeat it for
                          more, in the order they are served; names come
                          from the ID, so two IDs of 7 and above share one
  --identification MODE   a firmware without identification: silent (no
                          answer at all) or exception=CODE
                          BYTES of --model and --object are taken as bytes,
                          with C escapes for any byte: \\ \n \r \t \e (ESC)
                          \0 and \xHH ("\xD0\xCD" is GBK, "\e[2J" clears a
                          terminal, "X\r\nY" holds a line break)

Motor and procedures:
  --learned               start with the motor learned (default: not learned,
                          motion commands answer exception 0x60)
  --learning-time S       length of a learning run in seconds (default 3)
  --learning-outcome R    success, failure or abort (default success)
  --stroke-time S         length of a stroke measurement in seconds (default 3)
  --stroke PULSES         travel between SQ1 and SQ2 (default 50000)
  --load F                shaft load 0..1 (default 0.2)
  --stall                 the rotor is blocked: a started motor stops with
                          "stall" after the stall stop time
  --hall-error            the Hall signals are invalid: motion stops at once

Faults on the answers:
  --fault KIND            one of
                            no-answer        requests are lost
                            bad-crc          answers carry a wrong CRC
                            wrong-address    answers come from another address
                            exception=CODE   requests are refused with CODE
                            pieces[=MS]      answers go out byte by byte, MS
                                             apart (default 3)
                            delay=MS         answers go out after MS (default 600)
                            garbage          noise bytes precede each answer
                            overlong         answers are padded past 256 bytes
                            lying-count[=N]  read answers claim N more data
                                             bytes than they carry (default 2)
                            wrong-count[=N]  read answers carry N more data
                                             bytes than asked for, N < 0
                                             fewer (default 2)
                            wrong-echo       write answers name the next
                                             register
                            any-address      requests to any slave address
                                             are answered
                            split[=MS]       answers stop halfway for MS
                                             (default 20)
                            ignore-writes    writes (0x06, 0x10) get their
                                             right answer but nothing is
                                             stored or done
                          @LIST:KIND puts it on the drivers at LIST only,
                          e.g. --fault @2:ignore-writes; the others keep the
                          fault given for all, if any
  --fault-count N         apply the fault to the next N requests only
                          (ignore-writes: the next N writes; default: to
                          every request); on a bus, to each driver's next N,
                          for every fault given

  --verbose               print every request and answer on stderr
  --help                  this text
  --version               print the version and exit
)";
}

}  // namespace sim
