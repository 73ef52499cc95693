// What huewright-cli prints on stderr: one line for each failure, usage error or
// warning, with whatever a file name or a lower layer put in it kept on that line.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "formats/save_losses.h"

namespace hw::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The file being worked on, named by the one line printed when memory or threads
// run out.
extern std::string current_file;

// Control bytes show as \x0a and the like and a backslash as \\, so that a name
// spelling out a backslash, x, 0 and a reads apart from one holding a line break.
std::string OneLine(std::string_view text);

// Writes `text` and a line break to stderr.
void PrintLine(const std::string& text);

// "huewright-cli: FILE: cause" (the lower layers' messages usually name the file
// already; it is put in front only when the cause lacks it); returns `code`.
int Fail(const std::string& file, const std::string& cause, int code = kExitFailure);
// The error's text, with `file` in front when the error names no file of its own.
int Fail(const std::string& file, const Error& error, int code = kExitFailure);

// What a save left out that the input had; the file is written all the same.
void Warn(const std::string& file, const std::string& loss);

// What a picture save dropped: a line for the frames, a line for the rest.
void WarnLoss(const std::string& file, const SaveLoss& loss);

// The cause and the usage summary (help.h); returns kExitUsage.
int UsageError(std::string_view cause);

}  // namespace hw::cli
