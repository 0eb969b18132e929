// korvelt: the tool's command line, on the same libraries as the window.
#include <CLI/CLI.hpp>
#include <clocale>

#include "cli/Program.h"

int main(int argc, char** argv) {
  // Number texts follow the C library's rules whatever the environment says.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  CLI::App app{"korvelt", "korvelt"};
  cli::Program program;
  cli::Describe(app, program);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version print and end well; anything else is a usage error.
    const int printed = app.exit(error);
    return program.Finish(printed == 0 ? cli::Done : cli::Usage);
  }
  return program.Finish(program.run ? program.run(program) : cli::Usage);
}
