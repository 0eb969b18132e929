// korvelt scan and listen: which drivers answer on a line, and what another
// master and the drivers say on it.
#include <cstdio>
#include <stop_token>

#include "cli/Checks.h"
#include "cli/Interrupt.h"
#include "cli/Program.h"
#include "device/IdentityJson.h"
#include "fields/CFormat.h"
#include "fields/OpenFailureText.h"
#include "lang/Texts.h"
#include "link/PortDiagnosis.h"
#include "link/Listener.h"
#include "scan/BusScan.h"
#include "traffic/LogView.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;
using nlohmann::json;

struct ScanOptions {
  std::string addresses = "1-128";
  std::string bauds = "current";
  std::string parities = "current";
  int timeoutMs = 0;  // 0: each try waits what the rate needs
};

// Frames a listener's log keeps: each is read back as soon as it is heard.
constexpr size_t ListenLogFrames = 16;

struct ListenOptions {
  uint64_t count = 0;  // 0: until interrupted
};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    items.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

bool ParseNumber(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoi(text);
  return value >= low && value <= high;
}

// "A-B" or "A", within 1..128.
std::string CheckAddresses(const std::string& text) {
  const size_t dash = text.find('-');
  int first = 0, last = 0;
  const bool ok = dash == std::string::npos
                      ? ParseNumber(text, 1, 128, first)
                      : ParseNumber(text.substr(0, dash), 1, 128, first) && ParseNumber(text.substr(dash + 1), 1, 128, last);
  if (!ok || (dash != std::string::npos && last < first)) {
    return Fill(Tr("{1} 不是地址 1..128, 也不是范围 (如 1-128)"), {text.substr(0, 40)});
  }
  return {};
}

std::pair<uint8_t, uint8_t> AddressRange(const std::string& text) {
  const size_t dash = text.find('-');
  const int first = std::stoi(text.substr(0, dash));
  const int last = dash == std::string::npos ? first : std::stoi(text.substr(dash + 1));
  return {static_cast<uint8_t>(first), static_cast<uint8_t>(last)};
}

std::string CheckBauds(const std::string& text) {
  if (text == "current" || text == "all") return {};
  for (const std::string& item : SplitList(text)) {
    int baud = 0;
    if (!ParseNumber(item, 1, 999999, baud) || !IsBaudRate(baud)) {
      return Fill(Tr("{1} 不是波特率; 应为 current、all 或这些速率的列表 (如 9600,19200): {2}"), {item.substr(0, 40), BaudRateList()});
    }
  }
  return {};
}

std::string CheckParities(const std::string& text) {
  if (text == "current" || text == "all") return {};
  for (const std::string& item : SplitList(text)) {
    if (!ParityFromName(item)) {
      return Fill(Tr("{1} 不是校验方式; 应为 current、all 或 none2、odd、even 的列表"), {item.substr(0, 40)});
    }
  }
  return {};
}

std::vector<int> Bauds(const std::string& text, int current) {
  if (text == "current") return {current};
  if (text == "all") return scan::AllBauds();
  std::vector<int> bauds;
  for (const std::string& item : SplitList(text)) bauds.push_back(std::stoi(item));
  return bauds;
}

std::vector<Parity> Parities(const std::string& text, Parity current) {
  if (text == "current") return {current};
  if (text == "all") return scan::AllParities();
  std::vector<Parity> parities;
  for (const std::string& item : SplitList(text)) parities.push_back(ParityFromName(item).value_or(Parity::None2));
  return parities;
}

const char* AnswerName(scan::Answer answer) {
  constexpr const char* kNames[] = {"identified", "exception", "garbled", "late"};
  return kNames[static_cast<size_t>(answer)];
}

int Scan(Program& program, const ScanOptions& options) {
  // The line opens as for every command and is lent to the scan, which
  // opens it itself at each setting; the command ends with the scan, so
  // nothing takes it back.
  CommandSession session;
  if (const int status = program.Open(session); status != Done) return status;
  session.LendToScan();
  const Line& line = session.OpenedLine();
  scan::ScanPlan plan;
  plan.port = line.port;
  plan.networkAllowance = std::chrono::milliseconds(program.options.timeoutMs);
  std::tie(plan.firstAddress, plan.lastAddress) = AddressRange(options.addresses);
  plan.settings = scan::Combine(Bauds(options.bauds, line.baud), Parities(options.parities, line.parity));
  if (options.timeoutMs > 0) plan.tryTimeout = std::chrono::milliseconds(options.timeoutMs);

  scan::ScanCallbacks callbacks;
  callbacks.progress = [&](const scan::Progress& progress) {
    if (progress.address != plan.firstAddress || progress.retry) return;
    program.Say(Fill(Tr("扫描 {1} {2}, 地址 {3}-{4} ({5}/{6})"),
                     {std::to_string(progress.line.baud), ParityName(progress.line.parity),
                      std::to_string(plan.firstAddress), std::to_string(plan.lastAddress),
                      std::to_string(progress.tried), std::to_string(progress.total)}));
  };
  const scan::ScanOutcome outcome = scan::RunScan(plan, callbacks, CatchInterrupts());
  if (outcome.end == scan::ScanEnd::PortFailed) {
    program.Say(fields::OpenFailureMessage(DiagnoseOpenFailure(outcome.failure)));
    return PortNotOpened;
  }
  if (program.options.json) {
    json found = json::array();
    for (const scan::Found& f : outcome.found) {
      json entry = {{"address", f.address}, {"baud", f.line.baud}, {"parity", std::string(ParityName(f.line.parity))},
                    {"device", f.answer == scan::Answer::Identified
                                   ? json(device::IdentityJson(device::RecordOfTexts(f.texts)))
                                   : json()},
                    {"answer", AnswerName(f.answer)}};
      if (f.answer == scan::Answer::Exception) entry["exception"] = f.exception;
      if (f.lateBy.count() > 0) entry["late_ms"] = scan::LateMilliseconds(f);
      found.push_back(entry);
    }
    program.PrintJson({{"found", found},
                       {"tried", outcome.tried},
                       {"retried", outcome.retried},
                       {"seconds", std::chrono::duration<double>(outcome.elapsed).count()}});
  } else if (!outcome.found.empty()) {
    constexpr const char* kColumns[] = {"地址", "波特率", "校验", "设备标识", "设备型号", "版本号", "应答"};
    std::vector<std::vector<std::string>> rows(1);
    for (const char* column : kColumns) rows[0].emplace_back(Tr(column));
    for (const scan::Found& f : outcome.found) {
      rows.push_back({std::to_string(f.address), std::to_string(f.line.baud), std::string(ParityName(f.line.parity)), f.Identity(),
                      f.Model(), f.Version(), scan::AnswerText(f)});
    }
    program.Print(FormatTable(rows));
  }
  program.Say(Fill(Tr("试了 {1} 次, 用时 {2} 秒, 找到 {3} 台"),
                   {std::to_string(outcome.tried),
                    fields::CFormat("%.1f", std::chrono::duration<double>(outcome.elapsed).count()),
                    std::to_string(outcome.found.size())}));
  if (outcome.retried > 0) {
    program.Say(Fill(Tr("另试了 {1} 次: 迟到的应答以更长的超时重试, 以及每轮末尾等待迟到的应答"),
                     {std::to_string(outcome.retried)}));
  }
  if (outcome.end == scan::ScanEnd::Cancelled) return Interrupted;
  return outcome.found.empty() ? NoAnswer : Done;
}

int Listen(Program& program, const ListenOptions& options) {
  CommandSession session;
  if (const int status = program.OpenToListen(session); status != Done) return status;
  ByteChannel& port = session.ListenedPort();
  const std::stop_token interrupted = CatchInterrupts();
  // Each frame heard goes through a log of its own and is read back at once
  // by the view that "通讯记录" reads the window's log with: one way to
  // describe the frames of a line, and a bound on what is held.
  auto log = std::make_shared<FrameLog>(ListenLogFrames, ListenLogFrames * MaxFrameLength);
  traffic::LogView view(log);
  uint64_t heard = 0;
  Listener listener;
  const auto print = [&](const traffic::Record& record) {
    if (options.count != 0 && heard >= options.count) return;
    ++heard;
    const std::string line = program.options.json
                                 ? traffic::ToJson(record).dump(-1, ' ', false, json::error_handler_t::replace)
                                 : traffic::TextLine(record);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
    if (options.count != 0 && heard == options.count) listener.RequestStop();
  };
  const bool started = listener.Start(port, session.OpenedLine().baud, [&](const SplitFrame& frame) {
    if (options.count != 0 && heard >= options.count) return;
    log->RecordHeard(0, frame);
    view.Update(FrameLog::DefaultReadFrames, print);
  });
  if (!started) {
    program.Say(Tr("无法收听串口"));
    return PortNotOpened;
  }
  // Stopped by its handler when enough was heard, by a signal, or by itself
  // when the port goes.
  {
    const std::stop_callback onInterrupt(interrupted, [&listener] { listener.RequestStop(); });
    listener.Join();
  }
  const ListenEnd end = listener.Ended();
  if (end == ListenEnd::PortLost || end == ListenEnd::Failed) {
    program.Say(Fill(Tr("串口已断开: {1}"), {session.OpenedDevice()}));
    return PortNotOpened;
  }
  const bool countMet = options.count == 0 || heard >= options.count;
  return countMet ? Done : Interrupted;
}

}  // namespace

void AddBusCommands(CLI::App& app, Program& program) {
  auto scanOptions = std::make_shared<ScanOptions>();
  CLI::App* scanCommand = app.add_subcommand(
      "scan", Tr("查找驱动器: 在一个或全部波特率和校验方式下试一个范围内的每个地址; 没有应答时退出状态为 4"));
  scanCommand->add_option("--addresses", scanOptions->addresses, Tr("一个地址或一个范围 (默认 1-128)"))
      ->type_name("A-B")
      ->check(Check(CheckAddresses));
  scanCommand->add_option("--bauds", scanOptions->bauds, Tr("current (默认: --baud 的速率), all, 或列表: 9600,19200"))
      ->type_name("RATES")
      ->check(Check(CheckBauds));
  scanCommand->add_option("--parities", scanOptions->parities, Tr("current (默认: --parity 的校验), all, 或列表: none2,even"))
      ->type_name("PARITIES")
      ->check(Check(CheckParities));
  scanCommand
      ->add_option("--timeout", scanOptions->timeoutMs,
                   Tr("每次尝试等应答的毫秒数 (默认: 请求和应答的线路时间加 20 ms; 迟到的应答都会以更长的超时重试); 慢的线路上设得更长"))
      ->type_name("MS")
      ->check(WholeNumber(1, 60000));
  scanCommand->callback([&program, scanOptions] {
    program.run = [scanOptions](Program& p) { return Scan(p, *scanOptions); };
  });

  auto listenOptions = std::make_shared<ListenOptions>();
  CLI::App* listenCommand = app.add_subcommand(
      "listen", Tr("不发送: 另一个主站和驱动器发送的每一帧一行, 附带其含义"));
  listenCommand->add_option("--count", listenOptions->count, Tr("收到 N 帧后结束 (默认: 直到被中断)"))
      ->type_name("N")
      ->check(PositiveNumber());
  listenCommand->callback([&program, listenOptions] {
    program.run = [listenOptions](Program& p) { return Listen(p, *listenOptions); };
  });
}

}  // namespace cli
