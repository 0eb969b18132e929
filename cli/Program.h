// What every korvelt command shares: the line settings and address of the
// command line, the link they open, and where data and messages go (data
// on standard output, text or one JSON document; messages on standard
// error in the window's words).
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "driver/DriverLink.h"
#include "link/Line.h"
#include "session/Session.h"

namespace cli {

struct GlobalOptions {
  std::string port = "COM1";
  int baud = 9600;
  Parity parity = Parity::None2;  // --parity by its name
  std::vector<uint8_t> addresses{1};  // --address: one, or several in turn
  bool json = false;
  std::string language;  // --lang: zh, en, or empty for the locale's
  // --timeout: a network port's allowance on top of the line's own time,
  // in ms; 0 for the one measured from the connection's round trip.
  int timeoutMs = 0;
};

// The session of a command that talks to the driver: korvelt's, with no
// frame log.
class CommandSession : public session::Session {
 public:
  CommandSession() : Session("korvelt", Frames::NotLogged) {}
};

class Program {
 public:
  GlobalOptions options;
  // Set by the command that the command line chose.
  std::function<int(Program&)> run;

  // The line of the options: --port, --baud and --parity.
  Line LineOfOptions() const;
  // Opens the line of the options in `session`, at the options' address;
  // on failure says why on standard error (as the window's box does) and
  // gives PortNotOpened, else Done.
  int Open(session::Session& session) const;
  // The same for a line that is only listened to: the session's
  // ListenedPort, which no link sends on.
  int OpenToListen(session::Session& session) const;
  // The driver the command works on: the address of --address, or while
  // the command runs for each of several, the one in turn.
  uint8_t Address() const { return turn_.active ? turn_.address : options.addresses.front(); }
  // --address names more than one driver.
  bool SeveralDrivers() const { return options.addresses.size() > 1; }
  // Runs `command` for each address of --address in turn. With one, it is
  // the command alone, its output as it is. With several, each line of
  // text it prints and the first of each message it says begins with the
  // address; with --json what it prints is kept and given once all have
  // run, as {"drivers": [{"address": N, ...its document..., "status": S}]}.
  // SIGINT or SIGTERM stops it between two transactions: no driver is
  // started after it, and it says which drivers were done. The status is
  // the first driver's that failed, else Differs when one differs, else
  // Done.
  int ForEachDriver(const std::function<int(Program&)>& command);
  ::Parity LineParity() const { return options.parity; }

  // "<what>: <result text>" on standard error; the status for it.
  int Fail(ModbusResult result, const std::string& what) const;
  // A message on standard error.
  void Say(const std::string& message) const;
  // One JSON document on standard output.
  void PrintJson(const nlohmann::json& document) const;
  // Lines of text on standard output.
  void Print(const std::string& text) const;

  // The end of every command: what it wrote to standard output is flushed
  // and checked, so that data lost there (a full disk, a closed pipe) is
  // not a success. Gives `status`, or FileNotWritten, with the reason on
  // standard error, when standard output did not take everything.
  int Finish(int status) const;

 private:
  // What the first write to standard output that failed met; 0 while none did.
  mutable int outputError_ = 0;
  void Put(const std::string& text) const;

  // The driver in turn while several run, and what it has printed.
  struct Turn {
    bool active = false;
    uint8_t address = 0;
    std::string kept;  // --json: its output, whole
    std::string lastSaid;
    bool atLineStart = true;
  };
  mutable Turn turn_;
  std::string TurnLabel() const;
};


// Builds the program's options and commands on `app`.
void Describe(CLI::App& app, Program& program);

// Each group of commands adds its subcommands to the application; a
// command's callback sets Program::run.
using CommandGroup = void (*)(CLI::App& app, Program& program);
void AddDeviceCommands(CLI::App& app, Program& program);
void AddParameterCommands(CLI::App& app, Program& program);
void AddRecordCommands(CLI::App& app, Program& program);
void AddBusCommands(CLI::App& app, Program& program);
void AddTestCommands(CLI::App& app, Program& program);

// One line per entry: the name, the text and the unit, in columns.
struct TextRow {
  std::string name;
  std::string text;
  std::string unit;
};
std::string FormatRows(const std::vector<TextRow>& rows);
// Rows of cells in aligned columns, two spaces apart.
std::string FormatTable(const std::vector<std::vector<std::string>>& rows);

}  // namespace cli
