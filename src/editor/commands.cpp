#include "editor/commands.h"

#include <optional>
#include <span>
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
  SaveLoss what;
  what.what = loss;
  return MaySave(path, what);
}

bool EditorCommands::MaySave(const std::string& path, const SaveLoss& loss) {
  return !loss.any() || questions_->SaveAllTheSame(path, editor_.PicturePath(), loss);
}

bool EditorCommands::SavePicture() {
  if (files_ == nullptr || !editor_.PictureLoaded()) return false;
  const auto path = Chosen(files_->SaveFile(FileKind::Picture, editor_.PicturePath()));
  if (!path) return false;
  const PictureFormat format = files_->ChosenPictureFormat().value_or(PictureFormatForName(*path));
  return MaySave(*path, editor_.PictureSaveLoss(format)) && editor_.SavePicture(*path, format);
}

bool EditorCommands::SavePictureToItsFile() {
  if (!editor_.PictureLoaded()) return false;
  return MaySave(editor_.PicturePath(), editor_.PictureSaveLoss(editor_.PictureFileFormat())) &&
         editor_.SavePictureToItsFile();
}

void EditorCommands::LoadPalette(PaletteMerge merge) {
  if (files_ == nullptr) return;
  if (auto path = Chosen(files_->OpenFile(FileKind::Palette))) {
    editor_.LoadPalette(*path, merge, files_->ChosenPaletteFormat());
  }
}

bool EditorCommands::SavePalette() {
  if (files_ == nullptr) return false;
  const auto path = Chosen(files_->SaveFile(FileKind::Palette, std::string()));
  if (!path) return false;
  const std::optional<PaletteFormat> format = files_->ChosenPaletteFormat();
  const auto loss = PaletteSaveLoses(format.value_or(PaletteFormatForName(*path)),
                                     editor_.Board().entries, editor_.Board().names.List());
  return MaySave(*path, loss) && editor_.SavePalette(*path, format);
}

bool EditorCommands::SaveBank(int size) {
  if (files_ == nullptr) return false;
  const std::optional<BankChoice> bank =
      questions_->ChooseBank(BankChoice{editor_.Board().cur / size, size});
  if (!bank || (bank->size != 16 && bank->size != 4)) return false;
  const auto path = Chosen(files_->SaveFile(FileKind::Palette, std::string()));
  if (!path) return false;
  const std::optional<PaletteFormat> format = files_->ChosenPaletteFormat();
  if (bank->bank < 0 || bank->bank >= 256 / bank->size) return false;
  const auto first = static_cast<size_t>(bank->bank * bank->size);
  const auto names = editor_.BankNames(bank->bank, bank->size);
  const auto loss = PaletteEntriesSaveLoses(
      format.value_or(PaletteFormatForName(*path)),
      std::span(editor_.Board().entries).subspan(first, static_cast<size_t>(bank->size)),
      names ? &*names : nullptr);
  return MaySave(*path, loss) && editor_.SaveBank(bank->bank, bank->size, *path, format);
}

bool EditorCommands::ExportCycleAnimation() {
  if (files_ == nullptr || !editor_.PictureLoaded()) return false;
  // Never the picture's own name, which a GIF picture would have.
  std::string suggested = editor_.PicturePath();
  const size_t slash = suggested.find_last_of('/');
  const size_t dot = suggested.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) {
    suggested.erase(dot);
  }
  std::optional<FixedLength> fixed;
  const ExactLoop loop = ExactLoopOf(editor_.Cycles());
  if (loop.steps && !loop.fits()) {
    const FixedLength length{{kDefaultFixedSeconds, 1}, kDefaultFixedFps};
    const std::string frames =
        loop.frames ? GroupedDigits(*loop.frames) : "more than " + GroupedDigits(kMaxCycleFrames);
    if (!questions_->ExportFixedLength("the exact loop needs " + frames + " frames: export " +
                                       std::to_string(kDefaultFixedSeconds) + " seconds at " +
                                       std::to_string(kDefaultFixedFps) + " frames a second?")) {
      return false;
    }
    fixed = length;
  }
  const auto path = Chosen(files_->SaveFile(FileKind::Picture, suggested + "-cycle.gif"));
  if (!path) return false;
  // The animation shows the first frame only.
  SaveLoss frames;
  frames.frames = editor_.Extras().frames;
  if (!MaySave(*path, frames)) return false;
  return fixed ? editor_.ExportCycleAnimation(*path, *fixed) : editor_.ExportCycleAnimation(*path);
}

void EditorCommands::EditColour(int index) {
  if (colours_ == nullptr || index < 0 || index > 255) return;
  const BoardEntry now = editor_.Board().entries[static_cast<size_t>(index)];
  const std::optional<BoardEntry> chosen = colours_->ChooseColour(index, now);
  if (!chosen) return;
  editor_.SetEntry(index, *chosen);
}

void EditorCommands::RemapToPalette(RemapMetric metric) {
  if (files_ == nullptr) return;
  const auto path = Chosen(files_->OpenFile(FileKind::Palette));
  if (!path) return;
  const std::optional<PaletteFile> palette =
      editor_.ReadRemapPalette(*path, files_->ChosenPaletteFormat());
  if (!palette) return;
  RemapOptions options{metric, std::nullopt};
  if (editor_.RemapNeedsTransparent(*palette)) {
    options.transparent = questions_->TransparentPosition(*path, palette->entries, palette->count);
    if (!options.transparent) return;
  }
  editor_.RemapToPalette(*path, *palette, options);
}

void EditorCommands::CheckTiles() {
  if (!editor_.PictureLoaded()) return;
  const auto& shown = editor_.TileCheckShown();
  if (auto chosen = questions_->TileCheckSettings(shown ? shown->options : TileCheckOptions{})) {
    editor_.CheckTiles(*chosen);
  }
}

}  // namespace hw

namespace hw {

void EditorCommands::ReduceColours() {
  if (!editor_.PictureLoaded()) return;
  int used = 0;
  for (int64_t n : editor_.Usage()) used += n > 0;
  const std::optional<int> n = questions_->ColourCount(used, kReduceMin, kReduceMax);
  if (!n) return;
  editor_.ReduceColours(*n);
}

}  // namespace hw
