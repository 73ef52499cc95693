#include "cli/run.h"

#include <cstdio>
#include <optional>

#include "cli/cycle_gif_fixed.h"
#include "cli/edit_command.h"
#include "cli/output.h"
#include "cli/picture_commands.h"
#include "cli/tile_command.h"
#include "formats/palette_console.h"

namespace hw::cli {

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("no command given");
  const std::string& command = args[0];
  if (command == "-h" || command == "--help" || command == "help") {
    std::printf("%s\n", kUsage);
    return 0;
  }
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
