// Platform services the editor calls through. The program passes Qt-backed
// implementations; tests pass fakes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
  virtual void ShowError(const std::string& message) = 0;
};

// Asked before a save that would drop something the board or the picture's file
// holds because the file's format cannot keep it.
class LossQuestion {
 public:
  virtual ~LossQuestion() = default;
  // `file` is the file to be written, `loss` what it would lose (frames of
  // `picture`, the file they are in, and the rest in words); true to save all the
  // same, false to cancel.
  virtual bool SaveAllTheSame(const std::string& file, const std::string& picture,
                              const SaveLoss& loss) = 0;
};

// Asked before a remap to a palette file that has no transparent entry while
// some pixels are transparent: which of the file's positions becomes transparent.
class TransparentQuestion {
 public:
  virtual ~TransparentQuestion() = default;
  // `file` is the palette file, `entries` its first `count` entries; the chosen
  // position (0 .. count - 1), or nullopt when the user cancelled.
  virtual std::optional<int> TransparentPosition(const std::string& file,
                                                 const BoardEntries& entries, int count) = 0;
};

// "Check Tiles...": the tile size, the bank size and whether position 0 of each
// bank is shared; the dialog opens on `last`. Nullopt when the user cancelled.
class TileCheckQuestion {
 public:
  virtual ~TileCheckQuestion() = default;
  virtual std::optional<TileCheckOptions> TileCheckSettings(const TileCheckOptions& last) = 0;
};

// "Save Bank...": which bank, of 16 or 4 entries; the dialog opens on `last`.
// Nullopt when the user cancelled.
struct BankChoice {
  int bank = 0;
  int size = 16;
};
class BankQuestion {
 public:
  virtual ~BankQuestion() = default;
  virtual std::optional<BankChoice> ChooseBank(const BankChoice& last) = 0;
};

// A monotonic clock for the colour-cycling animation: tests step it by hand.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowMicros() = 0;
};

// Asked before "Reduce Colours...": how many colours the picture keeps.
// Asked before a cycle export whose exact loop has too many frames: `question`
// offers the fixed length instead ("the exact loop needs 28,440 frames: export 10
// seconds at 50 frames a second?"); true to export that.
class CycleLengthQuestion {
 public:
  virtual ~CycleLengthQuestion() = default;
  virtual bool ExportFixedLength(const std::string& question) = 0;
};

class ReduceQuestion {
 public:
  virtual ~ReduceQuestion() = default;
  // `used` is how many positions the picture uses now; the number chosen
  // (low .. high), or nullopt when the user cancelled.
  virtual std::optional<int> ColourCount(int used, int low, int high) = 0;
};

class BusyPointer {
 public:
  virtual ~BusyPointer() = default;
  virtual void SetWait(bool wait) = 0;
};

}  // namespace hw
