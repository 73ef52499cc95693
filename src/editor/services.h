// Platform services the editor calls through. The program passes Qt-backed
// implementations; tests pass fakes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/result.h"
#include "colour/colour.h"
#include "cycle/cycle.h"
#include "formats/palettes/palette_format.h"
#include "formats/pictures/picture_format.h"
#include "formats/save_losses.h"
#include "pixels/tiles.h"

namespace hw {

// What a file dialog asks for: the dialog offers the formats of that kind.
enum class FileKind { Picture, Palette };

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen full path, or nullopt when the user cancelled. A save dialog
  // starts on `suggested` (its folder, name and format) when it is not empty.
  virtual std::optional<std::string> OpenFile(FileKind kind) = 0;
  virtual std::optional<std::string> SaveFile(FileKind kind, const std::string& suggested) = 0;
  // The palette format the filter chosen in the last palette dialog decides: one
  // that neither content nor extension tells (the console formats), or, for a
  // saved name whose extension names no format, the filter's; nullopt when the
  // name's extension decides.
  virtual std::optional<PaletteFormat> ChosenPaletteFormat() const { return std::nullopt; }
  // The same for the last picture save: the filter's format for a name whose
  // extension names none; nullopt when the extension decides.
  virtual std::optional<PictureFormat> ChosenPictureFormat() const { return std::nullopt; }
};

class ColourDialog {
 public:
  virtual ~ColourDialog() = default;
  // The chosen colour and opacity for board entry `index`, or nullopt when the
  // user cancelled. The dialog opens on `initial`.
  virtual std::optional<BoardEntry> ChooseColour(int index, BoardEntry initial) = 0;
};

class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  // Shows the error's text (Error::Text).
  virtual void ShowError(const Error& error) = 0;
};

// A monotonic clock for the colour-cycling animation: tests step it by hand.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowMicros() = 0;
};

// "Save Bank...": which bank, of 16 or 4 entries.
struct BankChoice {
  int bank = 0;
  int size = 16;
};

// What to do with unsaved changes before they would be thrown away (quitting,
// closing the main window, loading another picture).
enum class SaveAnswer { Save, Discard, Cancel };

// Every question the commands and the window put to the user. Each has a default
// answer, what a caller that cannot ask gets: the window answers them all with
// dialogs; a test overrides only those it answers.
class Questions {
 public:
  virtual ~Questions() = default;
  // Before a save that would drop something the board or the picture's file holds
  // because the format cannot keep it: `file` is the file to be written, `loss`
  // what it would lose (frames of `picture`, the file they are in, and the rest in
  // words). True to save all the same (the default: a caller that cannot ask saves,
  // as the command line does, which warns).
  virtual bool SaveAllTheSame(const std::string& /*file*/, const std::string& /*picture*/,
                              const SaveLoss& /*loss*/) {
    return true;
  }
  // Before a remap to a palette file that has no transparent entry while some
  // pixels are transparent: which of the file's positions becomes transparent;
  // `entries` are the file's first `count`. Nullopt (the default) cancels.
  virtual std::optional<int> TransparentPosition(const std::string& /*file*/,
                                                 const BoardEntries& /*entries*/, int /*count*/) {
    return std::nullopt;
  }
  // "Check Tiles...": the tile size, the bank size and whether position 0 of each
  // bank is shared, starting from `last`. Nullopt (the default) cancels.
  virtual std::optional<TileCheckOptions> TileCheckSettings(const TileCheckOptions& /*last*/) {
    return std::nullopt;
  }
  // "Save Bank...": which bank, starting from `last`. Nullopt (the default) cancels.
  virtual std::optional<BankChoice> ChooseBank(const BankChoice& /*last*/) { return std::nullopt; }
  // "Reduce Colours...": how many colours the picture keeps (low .. high); `used` is
  // how many positions it uses now. Nullopt (the default) cancels.
  virtual std::optional<int> ColourCount(int /*used*/, int /*low*/, int /*high*/) {
    return std::nullopt;
  }
  // Before a cycle export whose exact loop has too many frames: `question` offers
  // the fixed length instead ("the exact loop needs 28,440 frames: export 10
  // seconds at 50 frames a second?"). True to export that; false (the default)
  // exports nothing.
  virtual bool ExportFixedLength(const std::string& /*question*/) { return false; }
  // Before unsaved changes of the picture in `picture` (its path) would be lost.
  // Cancel (the default) keeps them.
  virtual SaveAnswer AskSave(const std::string& /*picture*/) { return SaveAnswer::Cancel; }
};

class BusyPointer {
 public:
  virtual ~BusyPointer() = default;
  virtual void SetWait(bool wait) = 0;
};

}  // namespace hw
