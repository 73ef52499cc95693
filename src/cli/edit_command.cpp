#include "cli/edit_command.h"

#include <new>
#include <optional>
#include <string_view>
#include <system_error>

#include "cli/output.h"
#include "cli/pipeline.h"
#include "cli/steps.h"
#include "formats/files/file_io.h"
#include "formats/palettes/palette_files.h"
#include "formats/picture_io.h"
#include "formats/pictures/picture_formats.h"
#include "formats/save_losses.h"

namespace hw::cli {

namespace {

// A script larger than this is refused before it is read.
constexpr uint64_t kMaxScriptBytes = uint64_t{16} << 20;

struct NumberedStep {
  std::string text;
  Step step;
};

struct EditArgs {
  std::string in, out;
  std::vector<std::string> steps;
  std::optional<std::string> script, map, palette_out;
};

std::string StepName(size_t number, const std::string& text) {
  return "edit: step " + std::to_string(number) + " '" + text + "'";
}

int StepError(size_t number, const std::string& text, const std::string& cause, int code) {
  PrintLine(OneLine(StepName(number, text) + ": " + cause));
  return code;
}

// Options may stand anywhere; the first two other arguments are IN and OUT.
std::optional<EditArgs> ReadArgs(const std::vector<std::string>& args, int* code) {
  EditArgs e;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::optional<std::string>* option = a == "--script"        ? &e.script
                                         : a == "--map"         ? &e.map
                                         : a == "--palette-out" ? &e.palette_out
                                                                : nullptr;
    if (option == nullptr && a.size() > 2 && a.compare(0, 2, "--") == 0) {
      *code = UsageError("edit: unknown option '" + a + "'");
      return std::nullopt;
    }
    if (option == nullptr) {
      rest.push_back(a);
      continue;
    }
    if (i + 1 == args.size()) {
      *code = UsageError("edit: " + a + " needs a file");
      return std::nullopt;
    }
    if (option->has_value()) {
      *code = UsageError("edit: " + a + " is given twice");
      return std::nullopt;
    }
    *option = args[++i];
  }
  if (rest.size() < 2) {
    *code = UsageError("edit takes IN and OUT");
    return std::nullopt;
  }
  e.in = rest[0];
  e.out = rest[1];
  e.steps.assign(rest.begin() + 2, rest.end());
  // The formats come from the names: standard output has none to tell.
  if (!PictureFormatOfExtension(e.out)) {
    *code = UsageError("edit: OUT '" + e.out + "' must be a picture ending in " +
                       PictureExtensionList());
    return std::nullopt;
  }
  if (e.palette_out && !PaletteFormatForExtension(*e.palette_out)) {
    *code = UsageError("edit: --palette-out '" + *e.palette_out +
                       "' must end in .gpl, .pal, .act, .hex or .pcx");
    return std::nullopt;
  }
  return e;
}

// The script's steps, one a line. A line whose first non-blank character is #
// is a comment; surrounding blanks and a Windows line end are not part of a step.
Result<std::vector<std::string>> ScriptLines(const std::string& path) {
  current_file = path;
  auto bytes = ReadFileBytes(path, kMaxScriptBytes);
  if (!bytes) return bytes.error();
  std::vector<std::string> lines;
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == text.npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == line.npos || line[first] == '#') continue;
    line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
    lines.emplace_back(line);
  }
  return lines;
}

std::string Hex(uint8_t v) {
  static const char* digits = "0123456789abcdef";
  return {digits[v >> 4], digits[v & 15]};
}

}  // namespace

std::string MapJson(const BoardState& board) {
  std::string json = "{\"map\": [";
  for (size_t i = 0; i < 256; ++i) {
    json += (i ? ", " : "") + std::to_string(board.map[i]);
  }
  json += "], \"entries\": [";
  for (size_t i = 0; i < 256; ++i) {
    const BoardEntry& e = board.entries[i];
    json += std::string(i ? ", " : "") + "\"#" + Hex(e.rgb.R) + Hex(e.rgb.G) + Hex(e.rgb.B) +
            Hex(e.A) + "\"";
  }
  return json + "]}\n";
}

int Edit(const std::vector<std::string>& args) {
  int code = 0;
  const std::optional<EditArgs> e = ReadArgs(args, &code);
  if (!e) return code;

  // Every step is read before anything runs.
  std::vector<std::string> texts = e->steps;
  std::vector<NumberedStep> steps;
  const auto parse = [&](size_t from) {
    for (size_t i = from; i < texts.size(); ++i) {
      Result<Step> step = ParseStep(texts[i]);
      if (!step) return StepError(i + 1, texts[i], step.error().Text(), kExitUsage);
      steps.push_back({texts[i], std::move(*step)});
    }
    return 0;
  };
  if (int failed = parse(0)) return failed;
  if (e->script) {
    auto lines = ScriptLines(*e->script);
    if (!lines) return Fail(*e->script, lines.error());
    texts.insert(texts.end(), lines->begin(), lines->end());
    if (int failed = parse(e->steps.size())) return failed;
  }

  Pipeline pipeline;
  current_file = e->in;
  if (auto loaded = pipeline.Load(e->in); !loaded) return Fail(e->in, loaded.error());
  // What the load left out or aside (an ILBM's ranges past the 16th, an unusable
  // crNg), as convert says it.
  if (!pipeline.editor().LoadNote().empty()) Warn(e->in, pipeline.editor().LoadNote());
  for (size_t i = 0; i < steps.size(); ++i) {
    std::string warning, note;
    Status ran = Ok{};
    try {
      ran = pipeline.Run(steps[i].step, &warning, &note);
    } catch (const std::bad_alloc&) {
      ran = Error{"not enough memory"};
    } catch (const std::system_error& error) {
      ran = Error{error.what()};
    }
    if (!ran) return StepError(i + 1, steps[i].text, ran.error().Text(), kExitFailure);
    if (!warning.empty())
      PrintLine(OneLine("warning: " + StepName(i + 1, steps[i].text) + ": " + warning));
    if (!note.empty()) PrintLine(OneLine(StepName(i + 1, steps[i].text) + ": " + note));
  }
  // Every step succeeded: only now is anything written. The outputs in order: OUT,
  // --map, --palette-out, then the banks; a write that fails leaves it and the later
  // ones as they were.
  const BoardEntries& entries = pipeline.editor().Board().entries;
  const std::string map = e->map ? MapJson(pipeline.editor().Board()) : std::string();
  current_file = e->out;
  // Asked before the save: after it the picture's file is OUT, which lost them.
  const SaveLoss loss = pipeline.editor().PictureSaveLoss(PictureFormatForName(e->out));
  if (auto saved = pipeline.SavePicture(e->out); !saved) return Fail(e->out, saved.error());
  WarnLoss(e->out, loss);
  if (!pipeline.editor().SaveNote().empty()) Warn(e->out, pipeline.editor().SaveNote());
  if (e->map) {
    current_file = *e->map;
    auto written = WriteFileReplacing(*e->map, std::vector<uint8_t>(map.begin(), map.end()));
    if (!written) return Fail(*e->map, written.error());
  }
  if (e->palette_out) {
    current_file = *e->palette_out;
    if (auto saved = pipeline.SavePalette(*e->palette_out); !saved) {
      return Fail(*e->palette_out, saved.error());
    }
    if (auto loss = PaletteSaveLoses(PaletteFormatForName(*e->palette_out), entries,
                                     pipeline.editor().Board().names.List())) {
      Warn(*e->palette_out, *loss);
    }
  }
  // The banks as each save-bank step saw them, in step order.
  for (const Pipeline::PendingBank& bank : pipeline.pending_banks()) {
    current_file = bank.file;
    if (auto written = Pipeline::WriteBank(bank); !written) {
      return Fail(bank.file, written.error());
    }
    if (!bank.loss.empty()) {
      PrintLine(OneLine("warning: " + StepName(bank.step + 1, steps[bank.step].text) + ": '" +
                        bank.file + "': " + bank.loss));
    }
  }
  return 0;
}

}  // namespace hw::cli
