// korvelt record: the status over time as CSV, paced like the window's poll
// or as fast as the line goes, on standard output or into a file with its
// JSON companion. Ctrl+C ends it with the file complete.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "cli/Checks.h"
#include "cli/Interrupt.h"
#include "cli/Program.h"
#include "device/IdentityJson.h"
#include "base/AtomicFile.h"
#include "lang/Texts.h"
#include "recording/CompanionPlace.h"
#include "recording/RecordingCsv.h"
#include "recording/StatusReads.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;
using recording::SteadyClock;
using recording::WallClock;

struct RecordOptions {
  int intervalMs = 100;
  bool fast = false;
  double durationSeconds = 0;
  uint64_t count = 0;
  std::string file;
};

// Beyond this the deadline would overflow the clock; a billion seconds is
// over thirty years.
constexpr double kMaxDurationSeconds = 1e9;

// A positive, finite number of seconds within the bound ("nan" is no limit,
// 1e10 no deadline at all once converted).
std::string CheckDuration(const std::string& text) {
  double seconds = 0;
  if (!CLI::detail::lexical_cast(text, seconds) || !std::isfinite(seconds) || seconds <= 0 ||
      seconds > kMaxDurationSeconds) {
    return Fill(Tr("{1} 不是大于 0 且不超过 1e9 的秒数"), {text.substr(0, 40)});
  }
  return {};
}

recording::RecordingInfo InfoFor(const session::Session& session, const RecordOptions& options) {
  recording::RecordingInfo info;
  info.origin = session.Origin();
  info.pollIntervalMs = options.fast ? 0 : options.intervalMs;
  return info;
}

int Record(Program& program, const RecordOptions& options) {
  // From here on SIGINT and SIGTERM end the recording with its files
  // complete, the identity's read included, rather than the process with a
  // temporary file left behind.
  const std::stop_token stop = CatchInterrupts();
  // "-", as for the other commands: standard output.
  const bool toFile = !options.file.empty() && options.file != "-";
  if (toFile) {
    if (const recording::CompanionPlace place = recording::PlaceCompanion(options.file); !place.refusal.empty()) {
      program.Say(Fill(Tr("导出记录失败: {1}"), {place.refusal}));
      return FileNotWritten;
    }
  }
  CommandSession session;
  if (const int status = program.Open(session); status != Done) return status;
  DriverLink& link = session.Link();

  base::AtomicFile file;
  if (toFile && !file.Open(options.file)) {
    program.Say(Fill(Tr("导出记录失败: {1}"), {file.Error()}));
    return FileNotWritten;
  }
  recording::RecordingInfo info = InfoFor(session, options);

  std::FILE* out = toFile ? file.Stream() : stdout;
  const WallClock::time_point startWall = WallClock::now();
  const SteadyClock::time_point start = SteadyClock::now();
  recording::CsvWriter writer(out, startWall);
  if (toFile) writer.ByteOrderMark();
  // Several drivers share the file, a row each time one is read.
  const std::vector<uint8_t>& addresses = program.options.addresses;
  const bool several = addresses.size() > 1;
  if (several) writer.AddressColumn();
  writer.Header();

  recording::ReadPace pace;
  if (!options.fast) pace.interval = std::chrono::milliseconds(options.intervalMs);
  if (options.durationSeconds > 0) {
    pace.until = start + std::chrono::duration_cast<SteadyClock::duration>(
                             std::chrono::duration<double>(options.durationSeconds));
  }
  pace.count = options.count;
  const bool toPipe = !toFile || file.InPlace();
  // Each driver's readings and answers, for the status.
  std::vector<recording::LoopTotals> each(addresses.size());
  const recording::LoopTotals totals = recording::ReadStatusLoop(
      link, addresses, recording::CapturePlan{}, pace, stop, [&](const recording::Reading& reading) {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(reading.at - start).count();
        writer.Row({micros, reading.status, reading.read}, options.fast, reading.slave);
        // Whoever reads the pipe sees each row as it comes.
        if (toPipe) std::fflush(out);
        recording::LoopTotals& driver =
            each[static_cast<size_t>(std::find(addresses.begin(), addresses.end(), reading.slave) - addresses.begin())];
        ++driver.readings;
        if (reading.result != ResultSuccess) {
          ++driver.failed;
          driver.lastFailure = reading.result;
        }
      });

  if (toFile) {
    // Who the driver is goes into the companion (a device gets none), asked
    // once the rows are in: a driver that answers no identification request
    // costs a whole response time-out, which must not delay the first row.
    if (!file.InPlace() && totals.end != recording::LoopEnd::PortGone) {
      if (several) {
        info.drivers = nlohmann::json::array();
        for (const uint8_t address : addresses) {
          info.drivers.push_back({{"address", address}, {"device", device::ReadIdentityJson(link, address)}});
        }
      } else {
        info.device = device::ReadIdentityJson(link, session.Address());
      }
    }
    if (!file.Commit()) {
      program.Say(Fill(Tr("导出记录失败: {1}"), {file.Error()}));
      return FileNotWritten;
    }
    if (const std::string error = recording::WriteCompanion(options.file, info, startWall, writer.Totals());
        !error.empty()) {
      program.Say(Fill(Tr("导出记录失败: {1}"), {error}));
      return FileNotWritten;
    }
  } else if (!writer.Ok()) {
    return FileNotWritten;
  }

  const recording::CsvTotals& rows = writer.Totals();
  program.Say(Fill(Tr("{1} 行, 间断 {2}, {3} 次/秒"),
                   {std::to_string(rows.rows), std::to_string(rows.gaps),
                    std::to_string(static_cast<int>(rows.rows / std::max(totals.Seconds(), 1e-3) + 0.5))}));
  if (totals.end == recording::LoopEnd::PortGone) return program.Fail(ResultTimeout, "记录");
  if (totals.readings > 0 && totals.Answered() == 0) return program.Fail(totals.lastFailure, "记录");
  // A driver of several that answered none of its reads fails the record;
  // the first of them gives the status.
  int status = Done;
  for (size_t i = 0; i < addresses.size() && several; ++i) {
    if (each[i].readings == 0 || each[i].Answered() > 0) continue;
    const int failed = program.Fail(each[i].lastFailure, Fill(Tr("地址 {1}: 记录"), {std::to_string(addresses[i])}));
    if (status == Done) status = failed;
  }
  if (status != Done) return status;
  // A limit that Ctrl+C cut short; without a limit, Ctrl+C is the way to end.
  const bool limited = options.count != 0 || options.durationSeconds > 0;
  if (totals.end == recording::LoopEnd::Stopped && limited) return Interrupted;
  return Done;
}

}  // namespace

void AddRecordCommands(CLI::App& app, Program& program) {
  auto options = std::make_shared<RecordOptions>();
  CLI::App* record = app.add_subcommand(
      "record", Tr("状态随时间的记录, CSV 格式 (标准输出, 或 FILE 和它旁边的 JSON 说明文件); Ctrl+C 结束"));
  CLI::Option* interval =
      record->add_option("--interval", options->intervalMs, Tr("两次读取之间的毫秒数 (默认 100, 与窗口相同)"))
          ->type_name("MS")
          ->check(WholeNumber(1, 3600000));
  record->add_flag("--fast", options->fast, Tr("连续读取, 以线路能承载的最快速度"))->excludes(interval);
  CLI::Option* duration =
      record->add_option("--duration", options->durationSeconds, Tr("记录的秒数 (最多 1e9)"))
          ->type_name("SECONDS")
          ->check(Check(CheckDuration));
  record->add_option("--count", options->count, Tr("记录的行数, 包括读取失败的行"))
      ->type_name("N")
      ->check(WholeNumber(1, uint64_t{1} << 40))
      ->excludes(duration);
  record->add_option("FILE", options->file,
                     Tr("CSV 文件; 它的 JSON 说明文件放在旁边 (run.csv: run.json); '-': 标准输出"));
  record->callback([&program, options] { program.run = [options](Program& p) { return Record(p, *options); }; });
}

}  // namespace cli
