// korvelt's help and usage errors in the language in use: CLI11 builds the
// help from our descriptions and says what is wrong with a command line in
// its own words; these put both in ours.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

namespace cli {

// The help's own words (usage, options, commands, required, the value
// types) in the language in use.
std::shared_ptr<CLI::Formatter> HelpFormatter();

// Gives the option groups and the command group of `app` and of every
// command below it their names in the language in use; called once every
// option is added.
void NameGroups(CLI::App& app);

// What is wrong with the command line, for a usage error of `app`: the
// option or argument and the value at fault, as CLI11 found them. One
// line, no ending newline.
std::string UsageErrorText(const CLI::App& app, const CLI::Error& error);

}  // namespace cli
