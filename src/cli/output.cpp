#include "cli/output.h"

#include <cstdio>

#include "cli/help.h"

namespace hw::cli {

std::string current_file;

std::string OneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (u < 0x20 || u == 0x7f) {
      static const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

void PrintLine(const std::string& text) {
  const std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

int Fail(const std::string& file, const std::string& cause, int code) {
  PrintLine("huewright-cli: " + OneLine(file + ": " + cause));
  return code;
}

int Fail(const std::string& file, const Error& error, int code) {
  if (!error.NamesFile()) return Fail(file, error.cause, code);
  PrintLine("huewright-cli: " + OneLine(error.Text()));
  return code;
}

void Warn(const std::string& file, const std::string& loss) {
  PrintLine("warning: '" + OneLine(file) + "': " + OneLine(loss));
}

void WarnLoss(const std::string& file, const SaveLoss& loss) {
  if (loss.frames > 1) Warn(file, FramesLostWarning(loss.frames));
  if (loss.what) Warn(file, *loss.what);
}

int UsageError(std::string_view cause) {
  PrintLine("huewright-cli: " + OneLine(cause) + "; " + UsageSummary());
  return kExitUsage;
}

}  // namespace hw::cli
