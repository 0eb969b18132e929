// What every korvelt command shares: the line settings and address of the
// command line, the link they open, and where data and messages go (data
// on standard output, text or one JSON document; messages on standard
// error in the window's words).
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/ExitStatus.h"
#include "driver/DriverLink.h"
#include "link/Line.h"
#include "session/Session.h"

namespace cli {

struct GlobalOptions {
  std::string port = "COM1";
  int baud = 9600;
  Parity parity = Parity::None2;  // --parity by its name
  int address = 1;
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
  uint8_t Address() const { return static_cast<uint8_t>(options.address); }
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
