#include "scan/BusScan.h"

#include "link/PortText.h"

#include <algorithm>
#include <optional>

#include "driver/DriverLink.h"
#include "fields/DeviceInfoTexts.h"
#include "lang/Texts.h"
#include "link/ExceptionAnswer.h"
#include "link/FrameShapes.h"
#include "link/Line.h"
#include "link/LineTiming.h"

namespace scan {
namespace {


bool IsException(ModbusResult result) { return result >= 0x01 && result <= 0x7F; }

// The bytes that came back during the last transaction, less a copy of the
// request in front (an adapter's echo).
bool SomethingAnswered(const DriverLink& link) {
  const std::vector<uint8_t> sent = link.LastSentFrame();
  const std::vector<uint8_t> received = link.LastReceivedFrame();
  const bool echo = received.size() >= sent.size() && std::equal(sent.begin(), sent.end(), received.begin());
  return received.size() > (echo ? sent.size() : 0);
}

// One try: the driver at `address`, if one answers.
std::optional<Found> Try(DriverLink& link, uint8_t address, const LineChoice& line) {
  DeviceInfoBlock info{};
  const ModbusResult result = link.ReadDeviceInfo(address, info);
  Found found;
  found.address = address;
  found.line = line;
  if (result == ResultSuccess) {
    found.texts = fields::DeviceInfoTexts(info);
    return found;
  }
  if (IsException(result)) {
    found.answer = Answer::Exception;
    found.exception = result;
    return found;
  }
  if (result == ResultBadResponse || (result == ResultTimeout && SomethingAnswered(link))) {
    found.answer = Answer::Garbled;
    return found;
  }
  return std::nullopt;
}

bool Open(DriverLink& link, const ScanPlan& plan, const LineChoice& line) {
  return link.OpenLine({plan.port, line.baud, line.parity}) != 0;
}

}  // namespace

std::vector<int> AllBauds() { return {std::begin(kBaudRates), std::end(kBaudRates)}; }

std::vector<Parity> AllParities() { return {std::begin(kParities), std::end(kParities)}; }

std::vector<LineChoice> Combine(const std::vector<int>& bauds, const std::vector<Parity>& parities) {
  std::vector<LineChoice> settings;
  for (int baud : bauds) {
    for (Parity parity : parities) settings.push_back({baud, parity});
  }
  return settings;
}

std::vector<LineChoice> ScanPlan::SettingsTried() const {
  if (PortSetsLine(KindOfPort(port)) || settings.size() <= 1) return settings;
  return {settings.front()};
}

size_t ScanPlan::Tries() const {
  const size_t addresses = lastAddress >= firstAddress ? size_t{lastAddress} - firstAddress + 1 : 0;
  return addresses * SettingsTried().size();
}

std::string AnswerText(const Found& found) {
  switch (found.answer) {
    case Answer::Identified:
      return {};
    case Answer::Exception:
      return ExceptionAnswerText(static_cast<uint8_t>(found.exception));
    case Answer::Garbled:
      return lang::Tr("应答无法识别 (设置不符, 或同一地址有多台设备)");
  }
  return {};
}

std::chrono::microseconds TryTimeout(int baud) {
  // A device-information read: its request, and its answer of 14 registers.
  return TransactionTimeout(ReadRequestBytes, ReadAnswerBytes(RegisterMap::DeviceInfo.count), baud, TryMargin);
}

ScanOutcome RunScan(const ScanPlan& plan, const ScanCallbacks& callbacks, std::stop_token stop,
                    std::shared_ptr<FrameLog> log, uint16_t logTag) {
  const auto start = std::chrono::steady_clock::now();
  ScanOutcome outcome;
  DriverLink link;
  if (log) link.AttachFrameLog(std::move(log), logTag);
  const size_t total = plan.Tries();
  link.SetNetworkAllowance(plan.networkAllowance);
  for (const LineChoice& line : plan.SettingsTried()) {
    if (stop.stop_requested() || plan.firstAddress > plan.lastAddress) break;
    if (!Open(link, plan, line)) {
      outcome.end = ScanEnd::PortFailed;
      outcome.failure = link.LastOpenFailure();
      break;
    }
    link.SetResponseTimeout(TryTimeout(line.baud));
    for (unsigned address = plan.firstAddress; address <= plan.lastAddress && !stop.stop_requested(); ++address) {
      const auto slave = static_cast<uint8_t>(address);
      if (callbacks.progress) callbacks.progress({outcome.tried, total, slave, line});
      const std::optional<Found> found = Try(link, slave, line);
      ++outcome.tried;
      if (!found) continue;
      if (callbacks.found) callbacks.found(*found);
      outcome.found.push_back(*found);
    }
    link.ClosePort();
  }
  if (outcome.end == ScanEnd::Finished && stop.stop_requested()) outcome.end = ScanEnd::Cancelled;
  outcome.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  return outcome;
}

bool BusScan::Start(ScanPlan plan, ScanCallbacks callbacks, Finished finished, std::shared_ptr<FrameLog> log,
                    uint16_t logTag) {
  return runner_.Start([plan = std::move(plan), callbacks = std::move(callbacks), finished = std::move(finished),
                        log = std::move(log), logTag](std::stop_token stop) {
    const ScanOutcome outcome = RunScan(plan, callbacks, std::move(stop), log, logTag);
    if (finished) finished(outcome);
  });
}

}  // namespace scan
