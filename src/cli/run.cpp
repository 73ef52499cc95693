#include "cli/run.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/cycle_gif_fixed.h"
#include "cli/edit_command.h"
#include "cli/help.h"
#include "cli/output.h"
#include "cli/picture_commands.h"
#include "cli/tile_command.h"
#include "formats/palettes/palette_console.h"
#include "formats/pictures/pixel_limit.h"

namespace hw::cli {

namespace {

// Takes "--max-pixels N" out of the arguments after the command and sets the
// picture size limit from it or from HUEWRIGHT_MAX_PIXELS; a usage error's exit
// code, or 0.
int TakePixelLimit(std::vector<std::string>& args) {
  std::optional<std::string> option;
  for (size_t i = 1; i < args.size();) {
    if (args[i] != "--max-pixels") {
      ++i;
      continue;
    }
    if (i + 1 == args.size()) return UsageError("--max-pixels needs a number of pixels");
    if (option) return UsageError("--max-pixels is given twice");
    option = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i + 2));
  }
  const PixelLimitChoice choice = ChoosePixelLimit(option, std::getenv("HUEWRIGHT_MAX_PIXELS"));
  if (!choice.usage_error.empty()) return UsageError(choice.usage_error);
  if (!choice.warning.empty()) PrintLine(OneLine(choice.warning));
  SetPixelLimit(choice.limit);
  return 0;
}

// --help and --version: on stdout, and a failed write is a failure.
int PrintOut(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return Fail("stdout", "write failed");
  }
  return 0;
}

}  // namespace

int Run(const std::vector<std::string>& given) {
  if (given.empty()) return UsageError("no command given");
  std::vector<std::string> args = given;
  if (const int code = TakePixelLimit(args)) return code;
  const std::string& command = args[0];
  if (command == "-h" || command == "--help" || command == "help") {
    return PrintOut(HelpText());
  }
  if (command == "--version") return PrintOut(VersionText());
  if (command == "edit") return Edit(std::vector<std::string>(args.begin() + 1, args.end()));
  if (command == "tiles") return Tiles(std::vector<std::string>(args.begin() + 1, args.end()));
  const size_t operands = args.size() - 1;
  if (command == "info" || command == "indices" || command == "palette" || command == "stats") {
    if (operands != 1) return UsageError(command + " takes exactly one FILE");
    if (command == "info") return Info(args[1]);
    if (command == "indices") return Indices(args[1]);
    if (command == "stats") return Stats(args[1]);
    return PaletteBytesOf(args[1]);
  }
  if (command == "rewrite") {
    if (operands != 2) return UsageError("rewrite takes IN and OUT");
    return Rewrite(args[1], args[2]);
  }
  if (command == "cycle-gif") {
    return CycleGifCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  if (command == "convert") {
    bool strip = false;
    std::optional<PaletteFormat> console;
    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--palette-strip") {
        strip = true;
      } else if (args[i] == "--format") {
        if (i + 1 == args.size()) return UsageError("convert: --format needs a format");
        console = ConsoleFormatByName(args[++i]);
        if (!console) {
          return UsageError("convert: unknown format '" + args[i] +
                            "' (vga6, bgr15, md9 or amiga12)");
        }
      } else {
        files.push_back(args[i]);
      }
    }
    if (files.size() != 2) return UsageError("convert takes IN and OUT");
    if (strip && console)
      return UsageError("convert: --palette-strip and --format exclude each other");
    const std::string& out = files[1];
    if (out == "-") return UsageError("convert writes files only: OUT's extension names the kind");
    if (console) return ConvertConsole(files[0], out, *console);
    return Convert(files[0], out, strip);
  }
  return UsageError("unknown command '" + command + "'");
}

}  // namespace hw::cli
