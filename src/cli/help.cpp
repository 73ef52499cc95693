#include "cli/help.h"

#include <algorithm>
#include <vector>

#include "base/version.h"
#include "cli/steps.h"

namespace hw::cli {

namespace {

constexpr HelpLine kCommands[] = {
    {"info FILE", "JSON: format, size, format fields, SHA-256 of pixels and palette, cycles"},
    {"indices FILE", "the pixel indices on stdout, row-major, one byte each"},
    {"palette FILE", "768 bytes on stdout: the RGB of all 256 entries"},
    {"stats FILE", "JSON: each entry's colour, alpha, usage and first duplicate"},
    {"rewrite IN OUT|-", "read a PCX and write it back through Huewright's own writer"},
    {"convert [--palette-strip | --format F] IN OUT",
     "write OUT in the format its extension names (a picture or a palette)"},
    {"cycle-gif IN OUT [--seconds S [--fps F]]", "IN's colour cycling as an animated GIF"},
    {"edit IN OUT [STEP...] [--script F] [--map F] [--palette-out F]",
     "run the window's commands as steps (below) and write OUT"},
    {"tiles IN [--tile WxH] [--bank 16|4] [--shared-zero]",
     "JSON: the palette banks each tile of IN uses"},
};

constexpr HelpLine kCommandOptions[] = {
    {"convert --palette-strip", "write IN's palette as a PNG strip (OUT ends in .png)"},
    {"convert --format F", "one side is a console palette: F vga6, bgr15, md9 or amiga12"},
    {"cycle-gif --seconds S", "export S seconds (a decimal above 0) instead of the exact loop"},
    {"cycle-gif --fps F", "with --seconds: F frames a second, 1 to 100 (50 when left out)"},
    {"edit --script F", "run the steps of F too, one a line, after those given as arguments"},
    {"edit --map F", "write the map and the entries as JSON to F"},
    {"edit --palette-out F", "write the board to F as the palette its extension names"},
    {"tiles --tile WxH", "the tile size, each side 1 to 65535 (8x8 when left out)"},
    {"tiles --bank 16|4", "the bank size in entries (16 when left out)"},
    {"tiles --shared-zero", "position 0 of every bank is shared: no tile counts it as a use"},
};

constexpr HelpLine kProgramOptions[] = {
    {"--help, -h, help", "print this help on stdout"},
    {"--version", "print the version and the licence"},
    {"--max-pixels N",
     "after any command: read pictures of up to N pixels (268435456 unless "
     "HUEWRIGHT_MAX_PIXELS says otherwise)"},
};

void AddLines(std::string& out, const char* title, std::span<const HelpLine> lines, size_t width) {
  out += title;
  out += '\n';
  for (const HelpLine& l : lines) {
    std::string form = l.form;
    form.resize(std::max(width, form.size()), ' ');
    out += "  " + form + "  " + l.text + "\n";
  }
}

}  // namespace

std::span<const HelpLine> CommandHelp() { return kCommands; }
std::span<const HelpLine> CommandOptionHelp() { return kCommandOptions; }
std::span<const HelpLine> ProgramOptionHelp() { return kProgramOptions; }

std::string UsageSummary() {
  std::string out = "usage: huewright-cli";
  const char* separator = " ";
  for (const HelpLine& c : kCommands) {
    out += separator;
    out += c.form;
    separator = " | ";
  }
  out +=
      "; any command takes --max-pixels N (the largest picture read, 268435456 unless "
      "HUEWRIGHT_MAX_PIXELS says otherwise)";
  return out;
}

std::string HelpText() {
  std::vector<HelpLine> steps;
  for (const StepForm& s : StepForms()) steps.push_back(HelpLine{s.form, s.text});
  std::string out =
      "huewright-cli: inspect, convert and edit 8-bit indexed pictures and palettes\n"
      "usage: huewright-cli COMMAND ARGUMENT...\n\n";
  AddLines(out, "Commands:", kCommands, 18);
  out += '\n';
  AddLines(out, "Options of the commands:", kCommandOptions, 22);
  out += '\n';
  AddLines(out, "Steps of edit (WHAT: both, index or colour; positions 0..255):", steps, 36);
  out += '\n';
  AddLines(out, "Options:", kProgramOptions, 22);
  out +=
      "\nExit code 0, 1 for a failure, 2 for a usage error; every failure prints one line "
      "on stderr.\n";
  return out;
}

std::string VersionText() {
  return std::string("huewright-cli ") + kVersion + "\n" + kLicenceLine + "\n";
}

}  // namespace hw::cli
