#include "qt/command_line.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "base/version.h"

namespace hw {

namespace {

constexpr WindowOption kOptions[] = {
    {"", nullptr, "FILE",
     "load this picture at start (a palette file that is no picture loads as a palette)"},
    {"load", "file", "--load FILE", "the same, as if FILE were chosen with \"Load Pic...\""},
    {"max-pixels", "N", "--max-pixels N",
     "read pictures of up to N pixels (268435456 unless HUEWRIGHT_MAX_PIXELS says otherwise)"},
};

// The options QApplication takes for itself that have a value: the value is no
// request for help.
constexpr std::string_view kQtValueOptions[] = {
    "-platform",        "-platformpluginpath", "-platformtheme", "-plugin",
    "-display",         "-geometry",           "-style",         "-stylesheet",
    "-qwindowgeometry", "-qwindowtitle",       "-session"};

void Line(std::string& out, std::string form, const char* text) {
  form.resize(std::max<size_t>(form.size(), 22), ' ');
  out += "  " + form + "  " + text + "\n";
}

bool Print(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

}  // namespace

std::span<const WindowOption> WindowOptions() { return kOptions; }

std::string WindowHelpText() {
  std::string out =
      "huewright: palette editor for 8-bit indexed pictures (PCX, PNG, GIF, BMP, ILBM)\n"
      "usage: huewright [OPTION...] [FILE]\n\nOptions:\n";
  for (const WindowOption& o : kOptions) Line(out, o.help, o.text);
  Line(out, "--help, -h", "print this help on stdout");
  Line(out, "--version, -v", "print the version and the licence");
  Line(out, "-platform NAME", "Qt's window system plugin (xcb, wayland, offscreen)");
  Line(out, "-display DISPLAY", "the X display to open");
  Line(out, "-style STYLE", "Qt's widget style (fusion, windows)");
  out += "\nThe keys are under Help > Keys (F1) in the editor.\n";
  return out;
}

std::string WindowVersionText() {
  return std::string("huewright ") + kVersion + "\n" + kLicenceLine + "\n";
}

std::optional<int> AnswerWithoutDisplay(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    const bool help = arg == "--help" || arg == "-h" || arg == "-?" || arg == "--help-all";
    if (help || arg == "--version" || arg == "-v") {
      return Print(help ? WindowHelpText() : WindowVersionText()) ? 0 : 1;
    }
    bool takes_value = std::find(std::begin(kQtValueOptions), std::end(kQtValueOptions), arg) !=
                       std::end(kQtValueOptions);
    for (const WindowOption& o : kOptions) {
      takes_value |= o.value != nullptr && arg.starts_with("--") && arg.substr(2) == o.name;
    }
    if (takes_value) ++i;
  }
  return std::nullopt;
}

}  // namespace hw
