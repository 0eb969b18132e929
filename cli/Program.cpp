#include "cli/Program.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/AddressList.h"
#include "cli/Checks.h"
#include "cli/Interrupt.h"
#include "cli/Usage.h"
#include "fields/OpenFailureText.h"
#include "fields/PrintableText.h"
#include "link/PortDiagnosis.h"
#include "lang/Texts.h"
#include "link/PortText.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;

// COM1..COM1024 as in the window, a device path, or a network port.
std::string CheckPort(const std::string& port) {
  if (port.empty()) return Tr("应为 COM1 到 COM1024 的串口号, 或设备路径 (如 /dev/ttyUSB0)");
  if (IsNetworkPort(port)) {
    if (ParseNetworkPort(port)) return {};
    return Fill(Tr("{1} 不是网络端口: 应为 tcp://主机:端口, rfc2217://主机:端口 或 modbus-tcp://主机[:端口]"),
                {port.substr(0, 60)});
  }
  if (IsDevicePath(port)) return {};
  if (port.size() > 3 && (port.compare(0, 3, "COM") == 0 || port.compare(0, 3, "com") == 0)) {
    const std::string digits = port.substr(3);
    if (digits.size() <= 4 && digits.find_first_not_of("0123456789") == std::string::npos && digits[0] != '0') {
      const int number = std::stoi(digits);
      if (number >= 1 && number <= 1024) return {};
    }
  }
  return Fill(Tr("{1} 不是 COM1 到 COM1024 的串口号, 也不是设备路径 (如 /dev/ttyUSB0)"), {port.substr(0, 40)});
}

// The display width of a UTF-8 text: CJK characters take two columns.
size_t Columns(const std::string& text) {
  size_t columns = 0;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    columns += length >= 3 ? 2 : 1;
    i += length;
  }
  return columns;
}

// "9600 (default), 14400, ...": the rates with `current` marked.
std::string RateHelp(int current) {
  std::string help = BaudRateList();
  const std::string rate = std::to_string(current);
  const size_t at = help.find(rate);
  if (at != std::string::npos) help.insert(at + rate.size(), std::string(" ") + Tr("(默认)"));
  return help;
}

std::vector<std::string> ParityNames() {
  std::vector<std::string> names;
  for (Parity parity : kParities) names.emplace_back(ParityName(parity));
  return names;
}

}  // namespace

Line Program::LineOfOptions() const { return {options.port, options.baud, LineParity()}; }

int Program::Open(session::Session& session) const {
  session.Address() = Address();
  session.Link().SetNetworkAllowance(std::chrono::milliseconds(options.timeoutMs));
  if (session.OpenLine(LineOfOptions(), session::Session::Open::NewSession)) return Done;
  Say(fields::OpenFailureMessage(DiagnoseOpenFailure(session.Link().LastOpenFailure())));
  return PortNotOpened;
}

int Program::OpenToListen(session::Session& session) const {
  session.Address() = Address();
  if (session.OpenToListen(LineOfOptions())) return Done;
  Say(fields::OpenFailureMessage(DiagnoseOpenFailure(session.ListenedPort().LastOpenFailure())));
  return PortNotOpened;
}

int Program::Fail(ModbusResult result, const std::string& what) const {
  Say(Fill(Tr("{1}: {2}"), {Tr(what), ResultText(result)}));
  return ExitFor(result);
}

// A message may quote a driver's text or a file's key: each of its lines
// is shown printable.
void Program::Say(const std::string& given) const {
  std::string message = given;
  if (turn_.active) {
    turn_.lastSaid = given;
    message = TurnLabel() + ": " + given;
  }
  std::string shown;
  for (size_t start = 0; start <= message.size();) {
    const size_t end = std::min(message.find('\n', start), message.size());
    shown += (start == 0 ? "" : "\n") + fields::Printable(std::string_view(message).substr(start, end - start));
    start = end + 1;
  }
  std::fprintf(stderr, "korvelt: %s\n", shown.c_str());
}

void Program::PrintJson(const nlohmann::json& document) const {
  Put(document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void Program::Print(const std::string& text) const { Put(text); }

void Program::Put(const std::string& given) const {
  std::string text;
  if (turn_.active && options.json) {
    turn_.kept += given;
    return;
  }
  if (turn_.active) {
    const std::string label = TurnLabel() + "  ";
    for (const char c : given) {
      if (turn_.atLineStart) text += label;
      text += c;
      turn_.atLineStart = c == '\n';
    }
  } else {
    text = given;
  }
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && outputError_ == 0) outputError_ = errno;
}

std::string Program::TurnLabel() const { return Fill(Tr("地址 {1}"), {std::to_string(turn_.address)}); }

namespace {

// A driver's part of the document of several: its address, the document
// its command printed, its status, and for a failure the message that
// said why.
nlohmann::ordered_json DriverEntry(uint8_t address, const std::string& kept, const std::string& said, int status) {
  nlohmann::ordered_json entry = {{"address", address}};
  if (!kept.empty()) {
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(kept, nullptr, false);
    if (document.is_object()) {
      for (const auto& [key, value] : document.items()) entry[key] = value;
    } else if (!document.is_discarded()) {
      entry["output"] = document;
    }
  }
  if (status != Done && status != Differs && !said.empty()) entry["error"] = said;
  entry["status"] = status;
  return entry;
}

}  // namespace

int Program::ForEachDriver(const std::function<int(Program&)>& command) {
  if (!SeveralDrivers()) return command(*this);
  const std::stop_token stop = CatchInterrupts();
  nlohmann::ordered_json drivers = nlohmann::ordered_json::array();
  std::vector<uint8_t> done;
  int failed = Done;
  bool differs = false;
  for (const uint8_t address : options.addresses) {
    if (stop.stop_requested()) break;
    turn_ = Turn{true, address, {}, {}, true};
    const int status = command(*this);
    // A line left open ends before the next driver's label.
    if (!options.json && !turn_.atLineStart) Put("\n");
    const Turn ended = std::move(turn_);
    turn_ = Turn{};
    if (options.json) drivers.push_back(DriverEntry(address, ended.kept, ended.lastSaid, status));
    if (status != Interrupted) done.push_back(address);
    differs = differs || status == Differs;
    if (failed == Done && status != Done && status != Differs) failed = status;
  }
  if (options.json) Put(nlohmann::ordered_json{{"drivers", drivers}}.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
  if (stop.stop_requested()) {
    std::vector<uint8_t> left;
    for (const uint8_t address : options.addresses) {
      if (std::find(done.begin(), done.end(), address) == done.end()) left.push_back(address);
    }
    Say(Fill(Tr("已中断; 已完成的地址: {1}; 未完成的地址: {2}"),
             {done.empty() ? std::string(Tr("无")) : AddressListText(done), AddressListText(left)}));
    if (failed == Done) failed = Interrupted;
  }
  return failed != Done ? failed : differs ? Differs : Done;
}

int Program::Finish(int status) const {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !std::ferror(stdout)) return status;
  const int error = outputError_ != 0 ? outputError_ : errno != 0 ? errno : EIO;
  Say(Fill(Tr("无法写入标准输出: {1}"), {std::strerror(error)}));
  // A failure the command met first says more than the output lost after it.
  return status == Done || status == Differs ? FileNotWritten : status;
}

// Cells may hold a driver's texts: shown printable, one row a line.
std::string FormatRows(const std::vector<TextRow>& given) {
  std::vector<TextRow> rows;
  rows.reserve(given.size());
  for (const TextRow& row : given) {
    rows.push_back({fields::Printable(row.name), fields::Printable(row.text), fields::Printable(row.unit)});
  }
  size_t width = 0;
  for (const TextRow& row : rows) width = std::max(width, Columns(row.name));
  std::string text;
  for (const TextRow& row : rows) {
    text += row.name;
    text.append(width - Columns(row.name) + 2, ' ');
    text += row.text;
    if (!row.unit.empty() && row.text.find(row.unit) == std::string::npos) text += " " + row.unit;
    text += '\n';
  }
  return text;
}

std::string FormatTable(const std::vector<std::vector<std::string>>& given) {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(given.size());
  for (const auto& cells : given) {
    std::vector<std::string>& row = rows.emplace_back();
    for (const std::string& cell : cells) row.push_back(fields::Printable(cell));
  }
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Columns(row[i]));
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - Columns(row[i]) + 2, ' ');
    }
    text += line + '\n';
  }
  return text;
}

void Describe(CLI::App& app, Program& program) {
  GlobalOptions& o = program.options;
  app.description(Tr("用 RS-485 (Modbus RTU) 配置和测试 KORVELT 无刷直流电机驱动器, 与 KORVELT_Demo 相同, "
                     "在 shell 或脚本中使用。"));
  app.formatter(HelpFormatter());
  app.set_help_flag("-h,--help", Tr("显示本帮助并退出"));
  app.add_option("--port", o.port,
                 Tr("COMn, 与窗口相同 (默认 COM1), 设备路径, 或网络端口: tcp://主机:端口 (透传), "
                    "rfc2217://主机:端口, modbus-tcp://主机[:端口] (网关, 默认端口 502)"))
      ->type_name("PORT")
      ->check(Check(CheckPort));
  app.add_option("--baud", o.baud, RateHelp(o.baud))
      ->type_name("RATE")
      ->check(OneOfNumbers(std::vector<int>(std::begin(kBaudRates), std::end(kBaudRates))));
  // Checked against the names first, so that the function only meets one.
  app.add_option_function<std::string>(
         "--parity", [&o](const std::string& name) { o.parity = ParityFromName(name).value_or(o.parity); },
         Tr("none2 (默认: 无校验, 两个停止位), odd 或 even"))
      ->type_name("PARITY")
      ->check(OneOf(ParityNames()));
  // Checked first, so that the function only meets a list it can take.
  app.add_option_function<std::string>(
         "--address", [&o](const std::string& text) { ParseAddressList(text, o.addresses); },
         Tr("从站地址 1..128 (默认 1), 或多个地址和范围 (如 1,3,5-8): 命令依次对每个地址执行"))
      ->type_name("ADDRESS")
      ->check(Check(CheckAddressList));
  app.add_option("--timeout", o.timeoutMs,
                 Tr("网络端口的额外等待时间 (毫秒), 加在线路本身的应答时间上; 默认按测得的往返时间, 至少 50 毫秒"))
      ->type_name("MS")
      ->check(WholeNumber(1, 60000));
  app.add_flag("--json", o.json, Tr("在标准输出上给出一个 JSON 文档, 而不是文本"));
  // Chosen before the options were described (LanguageChoice.h); here it is
  // checked and shown in the help.
  app.add_option("--lang", o.language,
                 Tr("输出的语言: zh (中文) 或 en (英文); 默认按语言环境 (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), "
                    "C 和 POSIX 为中文"))
      ->type_name("zh|en")
      ->check(OneOf({"zh", "en"}));
  app.set_version_flag("--version", std::string("korvelt ") + KORVELT_VERSION, Tr("显示版本并退出"));
  app.require_subcommand(1);
  app.fallthrough();

  constexpr CommandGroup kGroups[] = {
      AddDeviceCommands,
      AddParameterCommands,
      AddRecordCommands,
      AddBusCommands,
      AddTestCommands,
  };
  for (const CommandGroup add : kGroups) add(app, program);
  NameGroups(app);
}

}  // namespace cli
