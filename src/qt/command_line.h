// The editor's command line: its options in one table, from which both --help and
// the parser that reads them are made. --help and --version are answered before
// any window system is touched, so they work without a display.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace hw {

struct WindowOption {
  const char* name;   // "load", the parser's name; empty for the FILE operand
  const char* value;  // "FILE", or nullptr for a switch
  const char* help;   // the form --help shows ("--load FILE")
  const char* text;
};

// The options the parser reads (main.cpp), in the order --help lists them.
std::span<const WindowOption> WindowOptions();

// One line for each option, the program's own and Qt's, on stdout.
std::string WindowHelpText();
// "huewright 1.0" and the licence.
std::string WindowVersionText();

// The exit code when the arguments ask for --help or --version (the answer is
// printed), nullopt when the editor is to start.
std::optional<int> AnswerWithoutDisplay(int argc, char** argv);

}  // namespace hw
