// What `huewright-cli --help` prints, one line for each command, option and edit
// step, and the one-line summary a usage error ends with; both come from the
// tables in help.cpp and steps.cpp, so a new command or option is one line there.
#pragma once

#include <span>
#include <string>

namespace hw::cli {

struct HelpLine {
  const char* form;  // "info FILE", "edit --script F", "--version"
  const char* text;  // what it does, for the help's second column
};

// The commands, in the order the usage summary names them.
std::span<const HelpLine> CommandHelp();
// The options of the commands, each with its command in front ("convert --format F").
std::span<const HelpLine> CommandOptionHelp();
// The options of the program itself (--help, --version).
std::span<const HelpLine> ProgramOptionHelp();

// "usage: huewright-cli info FILE | indices FILE | ...": every command's form.
std::string UsageSummary();

// The whole help text, as --help prints it on stdout.
std::string HelpText();

// "huewright-cli 1.0" and the licence, two lines.
std::string VersionText();

}  // namespace hw::cli
