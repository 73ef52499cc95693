#include "editor/commands.h"

#include <optional>
#include <string>

namespace hw {

namespace {

// The chosen path, or nullopt when the dialog was cancelled (an empty path, as
// some dialogs return on cancel, counts as a cancel).
std::optional<std::string> Chosen(std::optional<std::string> path) {
  if (!path || path->empty()) return std::nullopt;
  return path;
}

}  // namespace

void EditorCommands::LoadPicture() {
  if (files_ == nullptr) return;
  if (auto path = Chosen(files_->OpenFile(FileKind::Picture))) editor_.LoadPicture(*path);
}

void EditorCommands::SavePicture() {
  if (files_ == nullptr || !editor_.PictureLoaded()) return;
  if (auto path = Chosen(files_->SaveFile(FileKind::Picture))) editor_.SavePicture(*path);
}

void EditorCommands::LoadPalette() {
  if (files_ == nullptr) return;
  const Controls& ui = editor_.controls();
  const PaletteMerge merge = !ui.CheckMerge            ? PaletteMerge::All
                             : ui.OptionMergeReplace ? PaletteMerge::ReplaceRange
                                                     : PaletteMerge::ProtectRange;
  if (auto path = Chosen(files_->OpenFile(FileKind::Palette))) editor_.LoadPalette(*path, merge);
}

void EditorCommands::SavePalette() {
  if (files_ == nullptr) return;
  if (auto path = Chosen(files_->SaveFile(FileKind::Palette))) editor_.SavePalette(*path);
}

void EditorCommands::EditColour(int index) {
  if (colours_ == nullptr || index < 0 || index > 255) return;
  const RGBTriple now = editor_.Board().entries[static_cast<size_t>(index)].rgb;
  const std::optional<PackedColour> chosen = colours_->ChooseColour(PackRGB(now));
  if (!chosen) return;
  editor_.EditColour(index, GetRGB(*chosen & (RedMask | GreenMask | BlueMask)));
}

void EditorCommands::Sort() {
  editor_.Sort(editor_.controls().SortChoice, editor_.controls().CheckReverseSort);
}

}  // namespace hw
