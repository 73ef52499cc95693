// The four file commands of the editor: "Load Pic...", "Save Pic...",
// "Load Palette..." and "Save Palette...".
//
// Loads read and check the whole file into scratch records first and change the
// editor only when everything succeeded. Saves go through a temporary file beside
// the target, so a failed save leaves the old file as it was. Cancelling a dialog
// is silent; every other failure is reported with the file and the cause.
#include <numeric>
#include <utility>

#include "app/core/editor.h"
#include "formats/pcx_file.h"

namespace hw {

namespace {

// Shows the wait pointer for the lifetime of the guard, however the command ends.
class BusyScope {
 public:
  explicit BusyScope(BusyPointer* busy) : busy_(busy) {
    if (busy_ != nullptr) busy_->SetWait(true);
  }
  ~BusyScope() { Release(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  void Release() {
    if (busy_ != nullptr) busy_->SetWait(false);
    busy_ = nullptr;
  }

 private:
  BusyPointer* busy_;
};

// A message that names the file and the cause. The file layer's messages name the
// file themselves ("cannot load 'x.pcx': pixel data ends early"); the path is put
// in front of any that does not.
std::string FailureMessage(const std::string& path, const Error& error) {
  std::string message = error.message.empty() ? std::string("unknown error") : error.message;
  if (message.find(path) == std::string::npos) message = "'" + path + "': " + message;
  return message;
}

// The chosen path, or nullopt when the dialog was cancelled (an empty path, as
// some dialogs return on cancel, counts as a cancel).
std::optional<std::string> Chosen(std::optional<std::string> path) {
  if (!path || path->empty()) return std::nullopt;
  return path;
}

}  // namespace

void Editor::ButtonLoad_Click() {
  if (svc_.files == nullptr) return;
  const std::optional<std::string> path = Chosen(svc_.files->OpenFile());
  if (!path) return;
  BusyScope busy(svc_.busy);

  Result<PcxPicture> loaded = LoadPcxFile(*path);
  if (!loaded) {
    busy.Release();
    ReportError(FailureMessage(*path, loaded.error()));
    return;
  }
  PcxPicture& pic = *loaded;
  const int32_t width = pic.size.width;
  const int32_t height = pic.size.height;
  if (pic.size.count <= 0 || pic.pixels.size() != static_cast<size_t>(pic.size.count)) {
    busy.Release();
    ReportError("cannot load '" + *path + "': the picture has no pixels");
    return;
  }

  // Everything was read and checked: from here on the editor changes.
  s_.PcxHead = pic.header;
  s_.Pal = pic.palette;
  s_.PicPal = s_.Pal;
  s_.PixCount = pic.size.count;
  s_.ui.Label1 = *path + ": " + NumberText(width) + " x " + NumberText(height);
  s_.ui.FormPicCaption = s_.ui.Label1;
  s_.ui.FormPicExists = true;
  s_.OrigPixels = std::move(pic.pixels);
  s_.Pixels = s_.OrigPixels;
  // A new picture starts from the identity map and an empty undo record, so edits
  // made to an earlier picture never apply to this one.
  for (size_t i = 0; i < 256; ++i) s_.IndexMap[i] = static_cast<uint8_t>(i);
  s_.LastSrc = 0;
  s_.LastDst = 0;
  s_.PicLoaded = kTrue;

  s_.ui.FormPicVisible = true;
  if (auto* v = view()) v->PictureWindowShown();
  SetPictureSize(width, height);
  s_.HPal = DrawPicture(width, height, s_.PicPal);
  InitBlots();
  s_.ui.ButtonTestEnabled = true;
  if (auto* v = view()) v->ControlsChanged();
  busy.Release();

  // Counted once per load by as-loaded index; the board's counts follow the map.
  hw::ComputeHisto(loaded_histo_, s_.OrigPixels);
  ComputeHisto();
}

void Editor::ButtonSave_Click() {
  if (svc_.files == nullptr) return;
  const std::optional<std::string> path = Chosen(svc_.files->SaveFile());
  if (!path) return;
  BusyScope busy(svc_.busy);

  RemapPicture();
  s_.PicPal = BoardPalette();
  // The writer copies palette entries 0..15 into the header; that change is kept
  // only when the file was written.
  PcxHeader header = s_.PcxHead;
  const Status saved = SavePcxFile(*path, header, s_.Pixels, s_.PicPal);
  busy.Release();
  if (!saved) {
    ReportError(FailureMessage(*path, saved.error()));
    return;
  }
  s_.PcxHead = header;
}

void Editor::CommandLoadPal_Click() {
  if (svc_.files == nullptr) return;
  const std::optional<std::string> path = Chosen(svc_.files->OpenFile());
  if (!path) return;
  BusyScope busy(svc_.busy);

  const Result<Palette> loaded = LoadPaletteFile(*path);
  if (!loaded) {
    busy.Release();
    ReportError(FailureMessage(*path, loaded.error()));
    return;
  }
  const Palette& file = *loaded;

  // The entries taken: all of them, or those inside ("Replace Range") or outside
  // ("Protect Range") the range between the two marked entries.
  std::array<bool, 256> take{};
  if (s_.ui.CheckMerge != 1) {
    take.fill(true);
  } else {
    const int16_t lo = MinOf(s_.CurIndex, s_.PrevIndex);
    const int16_t hi = MaxOf(s_.CurIndex, s_.PrevIndex);
    for (int i = 0; i < 256; ++i) {
      const bool inside = i >= lo && i <= hi;
      take[static_cast<size_t>(i)] = s_.ui.OptionMergeReplace ? inside : !inside;
    }
  }
  for (size_t i = 0; i < 256; ++i) {
    if (!take[i]) continue;
    s_.Pal[i] = file[i];
    s_.PicPal[i] = s_.Pal[i];
    s_.IndexMap[i] = static_cast<uint8_t>(i);
  }

  if (s_.PicLoaded != 0) {
    // The map may have changed: the picture is redrawn as the next save writes it,
    // its pixels through the map and its colours as the board shows them.
    RemapPicture();
    s_.PicPal = BoardPalette();
    const Result<PcxSize> size = PictureSize(s_.PcxHead);
    if (size) s_.HPal = DrawPicture(size->width, size->height, s_.PicPal);
  }
  // After the redraw, so that swatches showing palette references pick up the
  // palette just built rather than the one it replaced.
  InitBlots();
  s_.ui.ButtonTestEnabled = true;
  if (auto* v = view()) v->ControlsChanged();
  busy.Release();
  ComputeHisto();
  if (s_.PicLoaded != 0) RefreshPicture();
}

void Editor::CommandSavePal_Click() {
  if (svc_.files == nullptr) return;
  const std::optional<std::string> path = Chosen(svc_.files->SaveFile());
  if (!path) return;
  BusyScope busy(svc_.busy);

  PcxHeader header = IndexedPictureHeader(16, 16);
  // Pixel k of the 16 x 16 palette picture holds index k.
  std::vector<uint8_t> swatch_pixels(256);
  std::iota(swatch_pixels.begin(), swatch_pixels.end(), uint8_t{0});
  s_.PicPal = BoardPalette();
  const Status saved = SavePcxFile(*path, header, swatch_pixels, s_.PicPal);
  busy.Release();
  if (!saved) ReportError(FailureMessage(*path, saved.error()));
}

}  // namespace hw
