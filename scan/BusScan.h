// The bus scan: finds the drivers on a line by asking each address, at one
// or more line settings, for its device-information block. Each try waits
// only as long as the line's timing says an answer takes (its wire time and
// a small margin), after the line has fallen quiet. An exception answer is a
// driver that is there; an answer that comes but does not hold (a wrong
// CRC: another setting, or two drivers on one address) is shown as such.
//
// A slow driver answers after its try has given up, while a later address
// is tried or between tries. Every answer carries its address, so one from
// an address tried earlier is that driver's late answer, never the
// current address's; the address is tried again, once no answer is owed
// to the tries just before it, with a time-out that covers how late it
// was. A pass ends with one longer wait, so that a
// slow driver at the end of the range is heard too (when all settings are
// scanned, only a pass in which anything answered).
// The window's "扫描设备..." and `korvelt scan` run the same scan.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "base/Runner.h"
#include "fields/DeviceInfoTexts.h"
#include "link/FrameCodec.h"
#include "link/FrameLog.h"
#include "link/Line.h"
#include "link/OpenFailure.h"

namespace scan {

// A rate and a parity of the line.
struct LineChoice {
  int baud = 9600;
  Parity parity = Parity::None2;
  bool operator==(const LineChoice&) const = default;
};

// The driver's rates and parities, in the connection panel's order.
std::vector<int> AllBauds();
std::vector<Parity> AllParities();
// Every rate with every parity: rates first, then parities within each.
std::vector<LineChoice> Combine(const std::vector<int>& bauds, const std::vector<Parity>& parities);

struct ScanPlan {
  std::string port = "COM1";  // a Line's port: "COMn" or a device path
  uint8_t firstAddress = 1;
  uint8_t lastAddress = 128;
  std::vector<LineChoice> settings{LineChoice{}};  // in the order they are tried
  // How long each try waits for its answer; none: TryTimeout of the rate.
  std::optional<std::chrono::milliseconds> tryTimeout;
  // Over a network port: what each try waits on top of the line's time
  // (ModbusMaster::SetNetworkAllowance); zero for the measured round trip.
  std::chrono::milliseconds networkAllowance{0};
  // The settings the scan goes through: all of them where the port sets
  // the line's rate and parity, else only the first (a raw device server
  // or a gateway keeps its own line settings).
  std::vector<LineChoice> SettingsTried() const;
  size_t Tries() const;
};

enum class Answer {
  Identified,  // its device-information block came back
  Exception,   // it refused with an exception code
  Garbled,     // something answered, but no frame holds (CRC, length)
  Late,        // it answered too late, and again when given longer
};

struct Found {
  uint8_t address = 0;
  LineChoice line;
  Answer answer = Answer::Identified;
  ModbusResult exception = ResultSuccess;  // Exception: its code
  // Nonzero when its first answer came only after its try had given up:
  // from its request to the end of its answer, as measured.
  std::chrono::microseconds lateBy{0};
  // Identified: the device-information box's texts, in the order of
  // fields::DeviceInfoFields().
  std::array<std::string, fields::DeviceInfoFieldCount> texts;

  const std::string& Identity() const { return texts[fields::IdentityField]; }
  const std::string& Model() const { return texts[fields::ModelField]; }
  const std::string& Version() const { return texts[fields::VersionField]; }
};

// What a found driver's answer says, for the table: "" when it identified
// itself, the exception's code and text, or what a garbled answer means.
std::string AnswerText(const Found& found);
// Its lateBy in whole milliseconds, rounded.
long long LateMilliseconds(const Found& found);

struct Progress {
  size_t tried = 0;  // tries finished before this one
  size_t total = 0;
  uint8_t address = 0;
  LineChoice line;
  bool retry = false;  // a try beyond the plan's (see ScanOutcome::retried)
};

enum class ScanEnd {
  Finished,
  Cancelled,
  PortFailed,  // the port did not open at a setting (`failure` says why)
};

struct ScanOutcome {
  ScanEnd end = ScanEnd::Finished;
  // By setting in the order tried, then by address.
  std::vector<Found> found;
  size_t tried = 0;  // of the plan's tries
  // Tries beyond the plan: addresses that answered late, tried again, and
  // the longer wait at the end of a pass.
  size_t retried = 0;
  std::chrono::microseconds elapsed{0};
  OpenFailure failure;
};

struct ScanCallbacks {
  // Before each try, and for each driver found; on the scanning thread,
  // which they must not hold up.
  std::function<void(const Progress&)> progress;
  std::function<void(const Found&)> found;
};

// How long one try waits for its answer at `baud`: the request's and the
// answer's wire time, the quiet gap and TryMargin.
std::chrono::microseconds TryTimeout(int baud);
// Beyond the wire: the driver's turn-around and an adapter's latency, which
// the link asks to be low when it opens the port.
constexpr std::chrono::milliseconds TryMargin{20};
// How late an answer the wait at the end of a pass still hears, from its
// request: that of a driver turning round in 200 ms at 9600 bit/s.
constexpr std::chrono::milliseconds LateAnswerLimit{250};

// Runs the scan on the calling thread until it is done or a stop is asked
// for on `stop` (between tries; a try in progress ends by its own short
// time-out). The
// link the scan uses records into `log` when one is given, tagged
// `logTag`.
ScanOutcome RunScan(const ScanPlan& plan, const ScanCallbacks& callbacks, std::stop_token stop,
                    std::shared_ptr<FrameLog> log = nullptr, uint16_t logTag = 0);

// A scan on a worker of its own.
class BusScan {
 public:
  using Finished = std::function<void(const ScanOutcome&)>;

  BusScan() = default;
  ~BusScan() = default;  // stops and waits
  BusScan(const BusScan&) = delete;
  BusScan& operator=(const BusScan&) = delete;

  // Starts the scan; `finished` is called once on the worker when it ends.
  // False while a scan runs (or has ended and not been joined) or when no
  // thread can be had.
  bool Start(ScanPlan plan, ScanCallbacks callbacks, Finished finished, std::shared_ptr<FrameLog> log = nullptr,
             uint16_t logTag = 0);
  // Returns at once; the scan ends within the try in progress.
  void RequestStop() { runner_.RequestStop(); }
  // Waits for the worker to end (after `finished` has returned).
  void Join() { runner_.Join(); }
  bool Active() const { return runner_.Active(); }

 private:
  base::Runner runner_;
};

}  // namespace scan
