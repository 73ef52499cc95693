// The four file commands of the editor: "Load Pic...", "Save Pic...",
// "Load Palette..." and "Save Palette...", given the path the user chose, and
// the read of the palette a remap fits the picture to.
//
// Loads read and check the whole file into scratch records first and change the
// editor only when everything succeeded. Saves go through a temporary file beside
// the target, so a failed save leaves the old file as it was. Cancelling a dialog
// is silent; every other failure is reported with the file and the cause.
#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <system_error>
#include <utility>

#include "base/faults.h"
#include "editor/cycle_export.h"
#include "editor/editor.h"
#include "formats/files/file_io.h"
#include "formats/palettes/palette_console.h"
#include "formats/palettes/palette_files.h"
#include "formats/picture_io.h"
#include "formats/picture_opener.h"
#include "formats/pictures/picture_formats.h"
#include "formats/pictures/png.h"

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

// Runs one file command; running out of memory or threads anywhere in it is a
// failure like any other: reported with the file, and the editor stays as it was
// (each command changes the editor only after everything that can fail).
template <typename Command>
bool Guarded(ErrorReporter* errors, const char* verb, const std::string& path, Command&& command) {
  std::string cause;
  try {
    return command();
  } catch (const std::bad_alloc&) {
    cause = "not enough memory";
  } catch (const std::system_error& e) {
    cause = e.what();
  }
  if (errors != nullptr) errors->ShowError(Failure(verb, path, cause));
  return false;
}

std::string EntriesText(int n) { return n == 1 ? "1 entry" : std::to_string(n) + " entries"; }

}  // namespace

std::string Editor::PaletteLoadStatus(PaletteMerge merge, int count, int placed) const {
  if (merge == PaletteMerge::All) {
    if (count >= 256) return {};
    return "The palette had " + EntriesText(count) + "; positions " + std::to_string(count) +
           " to 255 took black.";
  }
  return "Merged " + EntriesText(placed) +
         (merge == PaletteMerge::ReplaceRange ? " into" : " outside") + " positions " +
         std::to_string(RangeLow(board_)) + " to " + std::to_string(RangeHigh(board_));
}

namespace {

std::string FramesNote(uint64_t frames) {
  return std::to_string(frames) + " frames: only the first is shown and edited";
}

}  // namespace

bool Editor::LoadPicture(const std::string& path) {
  if (path.empty()) return false;
  return Guarded(svc_.errors, "load", path, [&] { return LoadPictureFrom(path); });
}

bool Editor::LoadPictureFrom(const std::string& path) {
  BusyScope busy(svc_.busy);
  Result<DecodedPicture> read = LoadPictureFile(path);
  if (!read) {
    busy.Release();
    ReportError(About(read.error(), path));
    return false;
  }
  DecodedPicture& pic = *read;
  if (pic.width <= 0 || pic.height <= 0 ||
      pic.pixels.size() != static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height)) {
    busy.Release();
    ReportError(CannotLoad(path, "the picture has no pixels"));
    return false;
  }
  UsageCounts counts{};
  ComputeHisto(counts, pic.pixels);
  std::string new_path = path;

  // Everything was read and checked: from here on the editor changes. A new
  // picture starts from the identity map and a new history.
  format_ = pic.format;
  extras_ = std::move(pic.extras);
  width_ = pic.width;
  height_ = pic.height;
  if (preparing_.joinable()) preparing_.join();
  loaded_pixels_ = std::move(pic.pixels);  // the old picture's buffers go only now
  pixels_ = {};
  prepared_ = {};
  identity_ = true;
  loaded_counts_ = counts;
  loaded_ = true;
  path_ = std::move(new_path);
  history_.Clear();
  history_shortened_ = history_notice_ = false;
  saved_position_ = history_.ContentPosition();

  board_.map = IdentityMap();  // the pixels above are those of the identity map
  board_.entries = pic.entries;
  board_.names = BoardNames();
  tile_check_.reset();
  board_.locked.reset();
  board_.cycles = pic.cycles;
  usage_ = UsageByPosition(board_.map, loaded_counts_);

  cycling_available_ = true;
  // What the load left out or aside (an ILBM's ranges past the 16th, an unusable
  // crNg) shows on the status line, naming the file, and that only the first of
  // several frames is loaded.
  load_note_ = std::move(pic.note);
  std::string note;
  if (!load_note_.empty()) {
    const size_t slash = path_.find_last_of('/');
    note =
        "'" + (slash == std::string::npos ? path_ : path_.substr(slash + 1)) + "': " + load_note_;
  }
  message_ =
      extras_.frames == 1 ? note : FramesNote(extras_.frames) + (note.empty() ? "" : "; ") + note;
  // The target hardware is the user's setting, not the picture's: it stays, and
  // the line says so, as the menu names it.
  if (!board_.target.None()) {
    message_ = "Target: " + TargetTitle(board_.target) + ", kept" +
               (message_.empty() ? "" : "; " + message_);
  }
  if (auto* v = view()) v->PictureOpened();
  RebuildDisplayPalette();
  if (auto* v = view()) {
    v->PictureChanged();
    v->BoardChanged();
    v->StateChanged();
  }
  PrepareRemapBuffer();
  return true;
}

bool Editor::SavePicture(const std::string& path) {
  return SavePicture(path, PictureFormatForName(path));
}

bool Editor::SavePicture(const std::string& path, PictureFormat format) {
  if (!SavePictureIn(path, format)) return false;
  // The file just written is the picture's file from now on: the title, "Save
  // Pic" and the unsaved-changes question all follow it.
  path_ = path;
  format_ = format;
  if (auto* v = view()) v->StateChanged();
  return true;
}

bool Editor::SavePictureToItsFile() { return SavePictureIn(path_, format_); }

namespace {

// What the status line says after a save: the file's own name.
std::string SavedMessage(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return "Saved '" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "'";
}

// "Saved 'x.gpl' (GIMP palette, 256 entries)": the file, the format written and
// how many entries it holds.
std::string SavedPaletteMessage(const std::string& path, PaletteFormat format, size_t entries) {
  return SavedMessage(path) + " (" + std::string(PaletteFormatTitle(format)) + ", " +
         std::to_string(entries) + (entries == 1 ? " entry)" : " entries)");
}

std::string PictureFormatTitle(PictureFormat format) {
  return std::string(PictureFormatRowOf(format).name) + " picture";
}

// A console format holds fewer colours: the line says how many of the entries
// written it changed.
std::string SnapNote(PaletteFormat format, std::span<const BoardEntry> entries) {
  if (!IsConsoleFormat(format)) return {};
  const ColourTarget target = ConsoleFormatTarget(format);
  const auto changed = std::count_if(entries.begin(), entries.end(),
                                     [&](const BoardEntry& e) { return !OnTarget(target, e.rgb); });
  if (changed == 0) return {};
  return "; " + std::to_string(changed) + (changed == 1 ? " entry" : " entries") +
         " changed to its colours";
}

}  // namespace

bool Editor::SavePictureIn(const std::string& path, PictureFormat format) {
  if (path.empty()) return false;
  if (!loaded_) {
    ReportError(CannotSave(path, "no picture is loaded"));
    return false;
  }
  return Guarded(svc_.errors, "save", path, [&] {
    BusyScope busy(svc_.busy);
    // The PCX writer copies entries 0..15 into the header; that change is kept
    // only when the file was written.
    std::string note;
    PictureExtras extras = ExtrasToSave();
    const Status saved = SavePictureFile(path, format, width_, height_, Pixels(), board_.entries,
                                         &extras, &note, board_.cycles);
    busy.Release();
    save_note_.clear();
    if (!saved) {
      ReportError(About(saved.error(), path));
      return false;
    }
    // The picture's file is now the one written: one frame, and of the old file's
    // extras what its format kept; the PCX header's fields stay for a later PCX save.
    extras_.pcx = extras.pcx;
    if (format != extras_.format) {
      PictureExtras fresh;
      fresh.format = format;
      fresh.pcx = extras_.pcx;
      extras_ = std::move(fresh);
    } else {
      extras_.frames = 1;
      extras_.png.dropped.clear();
      if (extras_.png.significant_bits &&
          !PngSignificantBitsHold(*extras_.png.significant_bits, board_.entries,
                                  PngSavedLength(Pixels(), board_.entries, &extras.png))) {
        extras_.png.significant_bits.reset();
      }
      extras_.ilbm.dropped.clear();
      extras_.gif.plain_texts = extras_.gif.unknown = extras_.gif.too_large = 0;
    }
    saved_position_ = history_.ContentPosition();
    save_note_ = note;
    message_ = SavedMessage(path) + " (" + PictureFormatTitle(format) + ")" +
               (note.empty() ? "" : ", " + note);
    if (auto* v = view()) v->StateChanged();
    return true;
  });
}

PictureExtras Editor::ExtrasToSave() const {
  PictureExtras extras = extras_;
  if (extras.png.background) extras.png.background = board_.map[*extras.png.background];
  return extras;
}

SaveLoss Editor::PictureSaveLoss(PictureFormat format) const {
  if (!loaded_) return {};
  return hw::PictureSaveLoss(format, board_.entries, board_.cycles.size(), Pixels(),
                             ExtrasToSave());
}

Status Editor::WriteCopy(const std::string& path) const {
  if (!loaded_) return CannotSave(path, "no picture is loaded");
  try {
    PictureExtras extras = ExtrasToSave();
    return SavePictureFile(path, PictureFormat::Png, width_, height_, Pixels(), board_.entries,
                           &extras, nullptr, board_.cycles);
  } catch (const std::bad_alloc&) {
    return CannotSave(path, "not enough memory");
  }
}

Result<std::vector<uint8_t>> Editor::CopyAsPng() const {
  if (!loaded_) return Error{"no picture is loaded"};
  try {
    const PictureExtras extras = ExtrasToSave();
    return EncodeIndexedPng(width_, height_, Pixels(), board_.entries, &extras.png, board_.cycles);
  } catch (const std::bad_alloc&) {
    return Error{"not enough memory"};
  }
}

void Editor::Remark(const std::string& text) {
  message_ = text;
  if (auto* v = view()) v->StateChanged();
}

bool Editor::RestorePicture(const std::string& copy, const std::string& original) {
  if (!LoadPicture(copy)) return false;
  path_ = original;
  // The original's own format where it is still there, else what its name says.
  format_ = PictureFormatForName(original);
  if (auto file = FileReader::Open(original)) {
    std::array<uint8_t, 12> head{};  // enough for every signature
    if (auto got = file->ReadAt(0, head); got) {
      format_ = PictureFormatOf(std::span<const uint8_t>(head.data(), *got)).value_or(format_);
    }
  }
  // The copy is a one-frame PNG: the original's frames, and the extensions and
  // chunks of a file of another format (a GIF's, an ILBM's: none of them tied to an
  // index), are still the original's, so that a save writes them back or asks
  // first. A PNG's chunks came in the copy.
  if (auto opened = OpenedPicture::Open(original)) {
    const PictureExtras& theirs = opened->extras();
    extras_.frames = theirs.frames;
    if (theirs.format != PictureFormat::Png) {
      const PcxHeader copy_header = extras_.pcx;  // a PCX save writes as the copy says
      extras_ = theirs;
      extras_.pcx = copy_header;
    }
    if (extras_.frames > 1) message_ = FramesNote(extras_.frames);
  }
  saved_position_ = kNeverSaved;
  if (auto* v = view()) v->StateChanged();
  return true;
}

bool Editor::OpenFile(const std::string& path) {
  std::array<uint8_t, kPaletteSniffBytes> head{};
  size_t got = 0;
  if (auto reader = FileReader::Open(path)) {
    if (auto n = reader->Read(head)) got = *n;
  }
  // What cannot be read is left to LoadPicture, which says why.
  const std::span<const uint8_t> first(head.data(), got);
  if (got > 0 && !PictureFormatOf(first) && SniffPaletteFormat(first, path) != PaletteFormat::Pcx) {
    return LoadPalette(path, PaletteMerge::All);
  }
  return LoadPicture(path);
}

bool Editor::LoadPalette(const std::string& path, PaletteMerge merge,
                         std::optional<PaletteFormat> format) {
  if (path.empty()) return false;
  return Guarded(svc_.errors, "load", path, [&] {
    BusyScope busy(svc_.busy);
    const Result<PaletteFile> read =
        format ? LoadPaletteFileAs(path, *format) : LoadAnyPaletteFile(path);
    busy.Release();
    if (!read) {
      ReportError(About(read.error(), path));
      return false;
    }
    BoardState next = board_;
    const int placed = ApplyPalette(next, read->entries, read->count, merge,
                                    read->names ? &*read->names : nullptr);
    Apply(next, "Load Palette");
    cycling_available_ = true;
    message_ = PaletteLoadStatus(merge, read->count, placed);
    if (auto* v = view()) v->StateChanged();
    return true;
  });
}

std::optional<PaletteFile> Editor::ReadRemapPalette(const std::string& path,
                                                    std::optional<PaletteFormat> format) {
  if (path.empty()) return std::nullopt;
  std::optional<PaletteFile> palette;
  Guarded(svc_.errors, "load", path, [&] {
    BusyScope busy(svc_.busy);
    Result<PaletteFile> read = format ? LoadPaletteFileAs(path, *format) : LoadAnyPaletteFile(path);
    busy.Release();
    if (!read) {
      ReportError(About(read.error(), path));
      return false;
    }
    palette = std::move(*read);
    return true;
  });
  return palette;
}

bool Editor::SavePalette(const std::string& path, std::optional<PaletteFormat> format) {
  if (path.empty()) return false;
  const PaletteFormat as = format.value_or(PaletteFormatForName(path));
  return Guarded(svc_.errors, "save", path, [&] {
    BusyScope busy(svc_.busy);
    const Status saved = SavePaletteFile(path, as, board_.entries, board_.names.List());
    busy.Release();
    if (!saved) {
      ReportError(About(saved.error(), path));
      return false;
    }
    message_ = SavedPaletteMessage(path, as, board_.entries.size()) + SnapNote(as, board_.entries);
    if (auto* v = view()) v->StateChanged();
    return true;
  });
}

std::optional<EntryNames> Editor::BankNames(int bank, int size) const {
  const EntryNames* all = board_.names.List();
  if (all == nullptr) return std::nullopt;
  EntryNames names;
  std::copy_n(all->begin() + static_cast<std::ptrdiff_t>(bank * size), size, names.begin());
  return names;
}

bool Editor::SaveBank(int bank, int size, const std::string& path,
                      std::optional<PaletteFormat> format) {
  if (path.empty() || !BanksOnBoard({bank}, size)) return false;
  const PaletteFormat as = format.value_or(PaletteFormatForName(path));
  const auto first = static_cast<size_t>(bank * size);
  const auto entries = std::span(board_.entries).subspan(first, static_cast<size_t>(size));
  const std::optional<EntryNames> names = BankNames(bank, size);
  return Guarded(svc_.errors, "save", path, [&] {
    const Status saved = SavePaletteEntries(path, as, entries, names ? &*names : nullptr);
    if (!saved) {
      ReportError(About(saved.error(), path));
      return false;
    }
    message_ = SavedPaletteMessage(path, as, entries.size()) + SnapNote(as, entries);
    if (auto* v = view()) v->StateChanged();
    return true;
  });
}

bool Editor::ExportCycleAnimation(const std::string& path) {
  return ExportCycleAnimationAs(path, std::nullopt);
}

bool Editor::ExportCycleAnimation(const std::string& path, const FixedLength& length) {
  return ExportCycleAnimationAs(path, length);
}

bool Editor::ExportCycleAnimationAs(const std::string& path,
                                    const std::optional<FixedLength>& length) {
  if (path.empty()) return false;
  if (!loaded_) {
    ReportError(Failure("export", path, "no picture is loaded"));
    return false;
  }
  return Guarded(svc_.errors, "export", path, [&] {
    BusyScope busy(svc_.busy);
    // The board holds the entries and ranges as they are when stopped: playing
    // only moves the shown colours.
    const Result<int> written =
        length ? SaveFixedCycleAnimation(path, width_, height_, Pixels(), board_.entries,
                                         board_.cycles, *length)
               : SaveCycleAnimation(path, width_, height_, Pixels(), board_.entries, board_.cycles);
    busy.Release();
    if (!written) {
      ReportError(Within(written.error(), "export", path));
      return false;
    }
    message_ = SavedMessage(path) + ": " + std::to_string(*written) +
               (*written == 1 ? " frame" : " frames");
    if (auto* v = view()) v->StateChanged();
    return true;
  });
}

}  // namespace hw
