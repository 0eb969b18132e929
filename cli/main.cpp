// korvelt: the tool's command line, on the same libraries as the window.
#include <CLI/CLI.hpp>
#include <clocale>
#include <string>
#include <vector>

#include "cli/LanguageChoice.h"
#include "cli/Program.h"
#include "cli/Usage.h"
#include "lang/Texts.h"

int main(int argc, char** argv) {
  // Number texts follow the C library's rules whatever the environment says.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  cli::Program program;
  // The language first: the options' descriptions and every message are
  // made in it.
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const std::string problem = lang::Use(cli::ChooseLanguage(cli::LanguageArgument(args))); !problem.empty()) {
    program.Say(problem);
  }
  CLI::App app{"korvelt", "korvelt"};
  cli::Describe(app, program);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version print and end well; anything else is a usage error.
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(error);
      return program.Finish(cli::Done);
    }
    program.Say(cli::UsageErrorText(app, error) + "\n" + lang::Tr("用 --help 查看用法"));
    return program.Finish(cli::Usage);
  }
  return program.Finish(program.run ? program.run(program) : cli::Usage);
}
