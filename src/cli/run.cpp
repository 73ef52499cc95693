#include "cli/run.h"

#include <cstdio>

#include "cli/edit_command.h"
#include "cli/output.h"
#include "cli/picture_commands.h"
#include "cli/tile_command.h"

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
  if (command == "convert") {
    const bool strip = operands >= 1 && args[1] == "--palette-strip";
    if (operands != (strip ? 3u : 2u)) return UsageError("convert takes IN and OUT");
    const std::string& in = args[strip ? 2 : 1];
    const std::string& out = args[strip ? 3 : 2];
    if (out == "-") return UsageError("convert writes files only: OUT's extension names the kind");
    return Convert(in, out, strip);
  }
  return UsageError("unknown command '" + command + "'");
}

}  // namespace hw::cli
