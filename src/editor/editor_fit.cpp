// Fitting the picture to a palette: "Remap to Palette...", "Merge Duplicates" and
// "Compact", each one step of the history through Apply.
#include <string>

#include "editor/editor.h"

namespace hw {

namespace {

std::string Entries(int n) { return n == 1 ? "1 entry" : std::to_string(n) + " entries"; }

std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool Editor::RemapToPalette(const std::string& path, RemapOptions options) {
  const std::optional<PaletteFile> palette = ReadRemapPalette(path);
  return palette && RemapToPalette(path, *palette, options);
}

bool Editor::RemapNeedsTransparent(const PaletteFile& palette) const {
  return hw::RemapNeedsTransparent(board_, palette.entries, palette.count, loaded_counts_);
}

bool Editor::RemapToPalette(const std::string& path, const PaletteFile& palette,
                            RemapOptions options) {
  BoardState next = board_;
  const int count = palette.count < 1 ? 1 : palette.count > 256 ? 256 : palette.count;
  const std::string quoted = "'" + path + "'";
  switch (hw::RemapToPalette(next, palette.entries, count, options, loaded_counts_,
                             palette.names ? &*palette.names : nullptr)) {
    case RemapRefusal::None:
      break;
    case RemapRefusal::NeedsTransparent:
      ReportError(path + " has no transparent entry: give transparent=N");
      return false;
    case RemapRefusal::TransparentOutside:
      ReportError("cannot remap to " + quoted + ": it has no entry " +
                  std::to_string(options.transparent.value_or(-1)) + " to make transparent (" +
                  Entries(count) + ")");
      return false;
    case RemapRefusal::NoOpaqueEntry:
      ReportError("cannot remap to " + quoted +
                  ": the picture has colours and the file no entry for them that is not "
                  "transparent");
      return false;
  }
  Apply(next, true);
  cycling_available_ = true;
  message_ = "Remapped to the " + Entries(count) + " of '" + FileName(path) + "'" +
             (options.metric == RemapMetric::Perceptual ? " (perceptual)" : " (RGB)");
  if (auto* v = view()) v->StateChanged();
  return true;
}

void Editor::MergeDuplicates() {
  BoardState next = board_;
  const int merged = hw::MergeDuplicates(next, usage_);
  Apply(next, true);
  message_ = merged == 0 ? "No used entry has a twin before it."
                         : "Merged " + Entries(merged) + " into their twins.";
  if (auto* v = view()) v->StateChanged();
}

void Editor::Compact() {
  BoardState next = board_;
  const int used = CompactBoard(next, usage_);
  Apply(next, true);
  message_ = used == 0 ? "No entry is used."
                       : "The used entries are at positions 0 to " + std::to_string(used - 1) + ".";
  if (auto* v = view()) v->StateChanged();
}

}  // namespace hw
