// huewright-cli edit IN OUT [STEP...] [--script F] [--map F] [--palette-out F]
//
// Loads the picture IN, runs the steps (those given as arguments, then the
// script's, one a line; blank lines and lines starting with # are skipped)
// through the editor's verbs and writes OUT, a .pcx or .png picture (OUT may be
// IN), then the --map JSON (the as-loaded index -> position map and the board's
// entries), then the --palette-out palette file. Every step is read before any
// runs; a step that cannot be read is a usage error (exit 2), a step that fails
// ends the run with exit 1 before any output is written. Failures name the step:
// "edit: step N 'TEXT': cause", N counting the argument steps, then the script's.
#pragma once

#include <string>
#include <vector>

#include "editor/editor.h"

namespace hw::cli {

// `args` are the arguments after "edit"; returns the exit code.
int Edit(const std::vector<std::string>& args);

// The --map document: {"map": [256 integers], "entries": ["#rrggbbaa", ...]}.
std::string MapJson(const BoardState& board);

}  // namespace hw::cli
