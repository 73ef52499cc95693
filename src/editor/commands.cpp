#include "editor/commands.h"

#include <optional>
#include <string>

#include "formats/save_losses.h"

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

bool EditorCommands::MaySave(const std::string& path, const std::optional<std::string>& loss) {
  return !loss || losses_ == nullptr || losses_->SaveAllTheSame(path, *loss);
}

bool EditorCommands::SavePicture() {
  if (files_ == nullptr || !editor_.PictureLoaded()) return false;
  const auto path = Chosen(files_->SaveFile(FileKind::Picture));
  if (!path) return false;
  const auto loss = PictureSaveLoses(PictureFormatForName(*path), editor_.Board().entries);
  return MaySave(*path, loss) && editor_.SavePicture(*path);
}

bool EditorCommands::SavePictureToItsFile() {
  if (!editor_.PictureLoaded()) return false;
  const auto loss = PictureSaveLoses(editor_.PictureFileFormat(), editor_.Board().entries);
  return MaySave(editor_.PicturePath(), loss) && editor_.SavePictureToItsFile();
}

void EditorCommands::LoadPalette(PaletteMerge merge) {
  if (files_ == nullptr) return;
  if (auto path = Chosen(files_->OpenFile(FileKind::Palette))) editor_.LoadPalette(*path, merge);
}

bool EditorCommands::SavePalette() {
  if (files_ == nullptr) return false;
  const auto path = Chosen(files_->SaveFile(FileKind::Palette));
  if (!path) return false;
  const auto loss = PaletteSaveLoses(PaletteFormatForName(*path), editor_.Board().entries);
  return MaySave(*path, loss) && editor_.SavePalette(*path);
}

void EditorCommands::EditColour(int index) {
  if (colours_ == nullptr || index < 0 || index > 255) return;
  const RGBTriple now = editor_.Board().entries[static_cast<size_t>(index)].rgb;
  const std::optional<PackedColour> chosen = colours_->ChooseColour(PackRGB(now));
  if (!chosen) return;
  editor_.EditColour(index, GetRGB(*chosen & (RedMask | GreenMask | BlueMask)));
}

}  // namespace hw
