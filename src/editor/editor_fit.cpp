// Fitting the picture to a palette: "Remap to Palette...", "Merge Duplicates",
// "Compact" and "Reduce Colours...", each one step of the history through Apply.
#include <cstdio>
#include <string>

#include "editor/editor.h"

namespace hw {

namespace {

std::string Entries(int n) { return n == 1 ? "1 entry" : std::to_string(n) + " entries"; }
std::string Colours(int n) { return n == 1 ? "1 colour" : std::to_string(n) + " colours"; }

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
  switch (hw::RemapToPalette(next, palette.entries, count, options, loaded_counts_,
                             palette.names ? &*palette.names : nullptr)) {
    case RemapRefusal::None:
      break;
    case RemapRefusal::NeedsTransparent:
      ReportError(path + " has no transparent entry: give transparent=N");
      return false;
    case RemapRefusal::TransparentOutside:
      ReportError(Failure("remap to", path,
                          "it has no entry " + std::to_string(options.transparent.value_or(-1)) +
                              " to make transparent (" + Entries(count) + ")"));
      return false;
    case RemapRefusal::TransparentLocked:
      ReportError("position " + std::to_string(options.transparent.value_or(-1)) + " is locked");
      return false;
    case RemapRefusal::NoOpaqueEntry:
      ReportError(Failure("remap to", path,
                          "the picture has colours and the file no entry for them that is not "
                          "transparent"));
      return false;
  }
  Apply(next, "Remap to Palette");
  cycling_available_ = true;
  message_ = "Remapped to the " + Entries(count) + " of '" + FileName(path) + "'" +
             (options.metric == RemapMetric::Perceptual ? " (perceptual)" : " (RGB)");
  if (auto* v = view()) v->StateChanged();
  return true;
}

void Editor::MergeDuplicates() {
  BoardState next = board_;
  const int merged = hw::MergeDuplicates(next, usage_);
  Apply(next, "Merge Duplicates");
  message_ = merged == 0 ? "No used entry has a twin before it."
                         : "Merged " + Entries(merged) + " into their twins.";
  if (auto* v = view()) v->StateChanged();
}

void Editor::Compact() {
  BoardState next = board_;
  const int used = CompactBoard(next, usage_);
  Apply(next, "Compact");
  if (used == 0) {
    message_ = "No unlocked entry is used.";
  } else if (board_.locked.none()) {
    message_ = "The used entries are at positions 0 to " + std::to_string(used - 1) + ".";
  } else {
    message_ = "The used unlocked entries are at the first " + Entries(used) +
               " of the unlocked positions.";
  }
  if (auto* v = view()) v->StateChanged();
}

namespace {

std::string TwoPlaces(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

}  // namespace

bool Editor::ReduceColours(int n) {
  BoardState next = board_;
  const ReduceResult r = hw::ReduceColours(next, n, loaded_counts_);
  switch (r.refusal) {
    case ReduceRefusal::None:
      break;
    case ReduceRefusal::OutOfRange:
      ReportError("cannot reduce to " + Colours(n) + ": give " + std::to_string(kReduceMin) +
                  " to " + std::to_string(kReduceMax));
      return false;
    case ReduceRefusal::TooFew:
      ReportError("cannot reduce to " + Colours(n) + ": the picture needs at least " +
                  std::to_string(r.least) + " (" + std::to_string(r.levels) +
                  (r.levels == 1 ? " level" : " levels") + " of opacity, " +
                  std::to_string(r.locked) + " locked, " + std::to_string(r.transparent) +
                  " fully transparent)");
      return false;
  }
  Apply(next, "Reduce Colours");
  if (r.used_after == r.used_before) {
    message_ = "The picture uses " + Entries(r.used_before) + ": nothing to reduce.";
  } else {
    message_ = "Reduced " + Entries(r.used_before) + " in use to " + std::to_string(r.used_after) +
               ": mean error " + TwoPlaces(r.mean) + ", largest " + TwoPlaces(r.largest) +
               " (CIEDE2000).";
  }
  if (auto* v = view()) v->StateChanged();
  return true;
}

}  // namespace hw
