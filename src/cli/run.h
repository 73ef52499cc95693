// huewright-cli's commands by name: inspect, rewrite and convert pictures and
// palettes (picture_commands.h), edit them through the editor's verbs
// (edit_command.h), and export colour cycling as an animated GIF
// (cycle_gif_command.h).
#pragma once

#include <string>
#include <vector>

namespace hw::cli {

// `args` are the program's arguments without its name; returns the exit code: 0,
// 1 for a failure, 2 for a usage error, each with its one line on stderr.
int Run(const std::vector<std::string>& args);

}  // namespace hw::cli
