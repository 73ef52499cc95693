// The editor: the palette model of one picture, its settings (board orientation,
// hardware colours, colour cycling) and every command as a verb with typed
// options. The window turns events into these calls (asking dialogs first, see
// commands.h) and repaints what the EditorView hears about, computing its own
// captions and labels from the editor's state; tests and benchmarks drive it
// directly.
//
// One truth: the loaded pixels, the board (map, entries, marks) and nothing else
// decide what is shown and saved. Pixels = map applied to the loaded pixels; the
// board, the picture window (through the display palette) and the saved files
// all read the board's entries.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/fit.h"
#include "board/history.h"
#include "board/moves.h"
#include "board/reduce.h"
#include "board/sort.h"
#include "board/spread.h"
#include "cycle/fixed_frames.h"
#include "cycle/rotation.h"
#include "display/display_palette.h"
#include "editor/services.h"
#include "formats/picture_io.h"
#include "formats/save_losses.h"
#include "pixels/histogram.h"
#include "pixels/tiles.h"

namespace hw {

// What the window needs to hear to repaint. Every method has an empty default.
class EditorView {
 public:
  virtual ~EditorView() = default;
  virtual void SwatchChanged(int /*index*/) {}  // colour or mark of one entry
  virtual void BoardChanged() {}                // all entries, or their places
  virtual void StateChanged() {}                // settings, messages, what can be done
  virtual void PictureChanged() {}              // pixels or size of the picture
  virtual void PicturePaletteChanged() {}       // the colours the picture shows
  virtual void PictureOpened() {}               // a picture was loaded: show it
  virtual void TimerChanged() {}                // cycling started, stopped or sped up
};

// The last tile check and what it found (see Editor::CheckTiles).
struct TileCheck {
  TileCheckOptions options;
  TileBanks banks;
};

struct EditorServices {
  ErrorReporter* errors = nullptr;
  BusyPointer* busy = nullptr;
  RandomSource* random = nullptr;
  Clock* clock = nullptr;      // the system's steady clock when null
  EditorView* view = nullptr;  // may stay null
};

// The status line's word, once, when the history's bound first drops old steps.
inline constexpr const char* kHistoryShortened =
    "Undo history full: the oldest steps are dropped to keep it within 64 MiB";

// How many cycle schemes there are (see cycle/cycle.h).
inline constexpr int kCycleSchemes = 3;
// The cycling speed: milliseconds between two steps.
inline constexpr int kCycleSpeedMin = 1;
inline constexpr int kCycleSpeedMax = 1000;
// The longest wait between two looks at the clock while the ranges play.
inline constexpr int kFrameMillis = 16;

class Editor {
 public:
  // palette_size is the display's palette-size answer (0 for a true-colour
  // screen, 256 for a palette display). Start() must run once before any command.
  explicit Editor(EditorServices services, int palette_size = 0);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  void SetView(EditorView* view) { svc_.view = view; }
  // Whether a picture load prepares the buffer for remapped pixels in the
  // background, so that a user's first command does not wait for fresh memory (on
  // unless turned off). A script, whose next command follows at once and may not
  // remap at all, has nothing to gain from it.
  void SetPrepareAfterLoad(bool on) { prepare_after_load_ = on; }
  // For a caller whose commands only go forward (a script): a changed map is
  // applied to the pixels in place, in the one buffer the picture was loaded into,
  // so no second picture-sized buffer is ever made. Every command's new map is a
  // function of the map before it, which is all this needs; Undo and Redo, whose
  // maps are not, do nothing in this mode. Set it before the picture is loaded.
  void SetForwardOnly(bool on) { forward_only_ = on; }

  // ---- what the window reads ----
  const BoardState& Board() const { return board_; }
  bool PictureLoaded() const { return loaded_; }
  int32_t PictureWidth() const { return width_; }
  int32_t PictureHeight() const { return height_; }
  // The picture as shown and saved: map applied to the loaded pixels. While the
  // map is the identity that is the loaded buffer itself, so a picture just
  // loaded is held once.
  const std::vector<uint8_t>& Pixels() const { return identity_ ? loaded_pixels_ : pixels_; }
  const std::vector<uint8_t>& LoadedPixels() const { return loaded_pixels_; }
  const UsageCounts& Usage() const { return usage_; }
  // Usage counts by as-loaded index, counted once per picture load.
  const UsageCounts& LoadedUsage() const { return loaded_counts_; }
  const DisplayPalette& display() const { return display_; }
  // The colour a swatch shows: its board colour, or with hardware colours the
  // entry of the display palette realized in it (which colour cycling animates).
  RGBTriple SwatchShownColour(int index) const;
  bool IsMarked(int index) const;
  // The board is shown row-major instead of column-major.
  bool Flipped() const { return flipped_; }
  // Swatches show the display palette's entries (a palette display only).
  bool HardwareColours() const { return hardware_colours_; }
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  // The commands an undo and a redo would take back or do again, as the Edit menu
  // names them ("Sort", "Reduce Colours"); empty when there is none.
  std::string UndoName() const { return history_.CanUndo() ? history_.UndoName() : ""; }
  std::string RedoName() const { return history_.CanRedo() ? history_.RedoName() : ""; }
  // True from any step of the history that changes what a save writes until the
  // picture is next saved (undoing back to the saved state counts as unmodified;
  // locks and the target hardware are settings, undoable but no change).
  bool Modified() const { return loaded_ && history_.ContentPosition() != saved_position_; }
  // The picture's file and its format.
  const std::string& PicturePath() const { return path_; }
  PictureFormat PictureFileFormat() const { return format_; }
  // What the last command had to say, if anything (empty otherwise).
  const std::string& Message() const { return message_; }
  // Puts what the shell has to say (a service that is off) on the status line, as
  // a command's message.
  void Remark(const std::string& text);
  // The status line: the message, and while a tile check is shown, its current
  // count ("3 of 40 tiles use more than one bank").
  std::string StatusLine() const;
  // The tile check's count as the line shows it; empty when none is shown.
  std::string TileCheckSummary() const;
  // The frames of the picture's file (only the first is loaded), and what of its
  // file a save in its own format writes back.
  const PictureExtras& Extras() const { return extras_; }
  // What a save of the picture in `format` would drop, as PictureSaveLoss words it.
  SaveLoss PictureSaveLoss(PictureFormat format) const;
  // What the last picture save changed of the file's kind (a PCX written at 8 bits
  // because the picture no longer fits its depth, and why); empty otherwise.
  const std::string& SaveNote() const { return save_note_; }
  // What the last picture load left out or aside (an ILBM's ranges past the 16th, a
  // PNG's crNg chunk that cannot be used), without the file's name; empty otherwise.
  // The status line gives it as "'NAME': NOTE".
  const std::string& LoadNote() const { return load_note_; }
  // Colour cycling: whether it can start (a picture or palette was loaded),
  // whether it runs, its scheme and the milliseconds between two steps (16 until
  // a speed is set).
  bool CyclingAvailable() const { return cycling_available_; }
  bool CyclingOn() const { return cycle_on_; }
  // The cycle ranges are playing (rather than one of the hidden schemes).
  bool PlayingRanges() const { return cycle_on_ && playing_ranges_; }
  const CycleRanges& Cycles() const { return board_.cycles; }
  int CycleScheme() const { return cycle_scheme_; }
  // While the ranges play: the milliseconds to the next step (at most kFrameMillis).
  int CycleInterval() const;

  // ---- start-up and board ----
  void Start();
  void Flip();  // the board column-major <-> row-major
  void SetHardwareColours(bool on);
  void Select(int index);            // a click on a swatch: the marks move there
  void SetMarks(int prev, int cur);  // puts both marks back where they were

  // ---- commands on the board; each one that changes the map or the entries is
  // one step of the history ----
  // A swatch dropped on another (exchanges a run of options.count entries), or
  // on itself (a selection). A count outside 1..kMaxMoveCount is refused.
  // A drop or a reverse that would change a locked position, and a colour edit of
  // one, is refused ("position P is locked", reported as an error) and returns
  // false; so does a drop whose count is out of range.
  bool Drop(int target, int source, MoveOptions options);
  bool ReverseRange(MoveWhat what);
  // The whole board, or with `range_only` the marked range; locked positions
  // stay where they are either way.
  void Sort(SortKey key, bool reverse, MoveWhat what, bool range_only = false);
  void Spread(SpreadKind kind);
  // One entry's colour (its opacity kept), or colour and opacity; the marks stay
  // where they are. On a target the colour is snapped to it.
  bool EditColour(int index, RGBTriple colour);
  bool SetEntry(int index, BoardEntry entry);
  // "Lock Range" / "Unlock Range": the marked range's positions, one step.
  void LockRange(bool lock);
  void Undo();
  void Redo();
  // "Target Hardware": the colours the commands that write colours keep to (one
  // step of the history; entries already off it stay until snapped).
  void SetTarget(const ColourTarget& target);
  // "Snap All": every unlocked entry takes the nearest colour of the target.
  void SnapAll();

  // ---- files; false after a failure, which has been reported ----
  bool LoadPicture(const std::string& path);
  // A file handed to the program (the command line, a file manager): a palette file
  // that is no picture loads as a whole palette, anything else as LoadPicture does.
  bool OpenFile(const std::string& path);
  // "Save Pic As...": in the format the name's extension names (PCX for none
  // known), or in `format`; the file written becomes the picture's file.
  bool SavePicture(const std::string& path);
  bool SavePicture(const std::string& path, PictureFormat format);
  // "Save Pic" (Ctrl+S): back to the file the picture came from, in its format.
  bool SavePictureToItsFile();
  // `format`, when given, is the format the user named (the console formats, which
  // no content or extension tells apart); otherwise the file's content decides.
  bool LoadPalette(const std::string& path, PaletteMerge merge,
                   std::optional<PaletteFormat> format = std::nullopt);
  // Writes the picture as shown (pixels, entries with their alpha) to `path` as
  // PNG and changes nothing else: not the picture's file, not the saved state.
  // Failures are returned, not reported.
  Status WriteCopy(const std::string& path) const;
  // The same PNG's bytes, for a caller that writes them itself.
  Result<std::vector<uint8_t>> CopyAsPng() const;
  // Loads a copy written by WriteCopy as the unsaved state of the picture in
  // `original`: the title, "Save Pic" and the unsaved-changes question name
  // `original`, and the picture counts as changed until it is saved.
  bool RestorePicture(const std::string& copy, const std::string& original);
  // In `format`, or the format the name's extension says.
  bool SavePalette(const std::string& path, std::optional<PaletteFormat> format = std::nullopt);
  // "Export Cycle Animation...": the picture as an animated GIF of one period of
  // its active ranges (editor/cycle_export.h), from the board as it is when
  // stopped, even while the ranges play. Changes nothing but the status line,
  // which says how many frames were written; false after a reported failure.
  bool ExportCycleAnimation(const std::string& path);
  // The same over a fixed length (floor(S * F) frames lasting S seconds), for
  // ranges whose exact loop has too many frames.
  bool ExportCycleAnimation(const std::string& path, const FixedLength& length);

  // ---- fitting the picture to a palette (board/fit.h); each is one step ----
  // "Remap to Palette...": reads `path` as "Load Palette..." does (a picture gives
  // its palette) and remaps to it. False after a failure, which has been reported
  // and changed nothing: a file that cannot be read, or pixels that show a
  // transparent entry when the file has none and options.transparent names no
  // position of the file ("FILE has no transparent entry: give transparent=N", the
  // words the command line's step needs).
  bool RemapToPalette(const std::string& path, RemapOptions options);
  // The same in two steps, for a caller that asks about the transparent position
  // in between: the palette read (nullopt after a reported failure), whether the
  // remap needs options.transparent, and the remap to what was read.
  std::optional<PaletteFile> ReadRemapPalette(const std::string& path,
                                              std::optional<PaletteFormat> format = std::nullopt);
  bool RemapNeedsTransparent(const PaletteFile& palette) const;
  bool RemapToPalette(const std::string& path, const PaletteFile& palette, RemapOptions options);
  // "Merge Duplicates" and "Compact": the picture keeps its look.
  void MergeDuplicates();
  void Compact();
  // "Reduce Colours...": at most `n` (kReduceMin..kReduceMax) used positions
  // afterwards, the look changing as little as it can (board/reduce.h). False
  // after a refusal, which has been reported and changed nothing.
  bool ReduceColours(int n);

  // ---- banks (runs of 16 or 4 entries, as tile-based hardware uses them) ----
  // Exchanges banks a and b of `size` entries keeping the look: the drop of one
  // bank on the other with both boxes ticked. False, reported, for a bank that is
  // not on the board or a drop that is refused.
  bool SwapBanks(int a, int b, int size);
  // "Save Bank...": the `size` entries of bank `bank` (with their names) as a
  // palette of that many entries, in `format` or the one the name's extension says.
  // False after a failure or a bank not on the board, reported.
  bool SaveBank(int bank, int size, const std::string& path,
                std::optional<PaletteFormat> format = std::nullopt);
  // The names of that bank's entries, in order (nullopt when none has one); the
  // bank must be on the board.
  std::optional<EntryNames> BankNames(int bank, int size) const;
  // "Check Tiles...": which banks each tile of the picture uses. The result stays
  // (TileCheckShown) and follows every change of the pixels until ClearTileCheck()
  // or a picture load; the status line gives the count of mixed tiles.
  void CheckTiles(const TileCheckOptions& options);
  void ClearTileCheck();
  const std::optional<TileCheck>& TileCheckShown() const { return tile_check_; }

  // ---- cycle ranges; each change is one step of the history ----
  // Adds a range (refused with a message when the list is full or LOW > HIGH).
  bool AddCycleRange(CycleRange range);
  // Adds an active range over the marked range.
  bool AddCycleRangeFromMarks(int rate, bool reverse);
  // The five bands 196..235 (refused when they do not all fit).
  bool AddFiveBands();
  void RemoveCycleRange(int index);
  // Range `index` takes `range` (a LOW above HIGH is refused).
  void SetCycleRange(int index, CycleRange range);
  void ClearCycleRanges();

  // ---- playing: the ranges rotate the shown colours, never the board ----
  void PlayCycles();
  void StopCycles();
  void TogglePlay();

  // ---- colour cycling preview; scheme 0 plays the ranges ----
  void ToggleCycling();
  void SelectScheme(int index);   // 0 .. kCycleSchemes - 1
  void SetCycleSpeed(int value);  // the interval, clamped to kCycleSpeedMin .. kCycleSpeedMax
  void CycleTick();

 private:
  EditorView* view() const { return svc_.view; }
  // Makes `next` the board, brings the pixels, usage and display palette
  // up to date (one remap at most) and tells the view. Records a history step
  // named `step` (a literal) when it is not null and the board changed.
  void Apply(const BoardState& next, const char* step);
  bool LoadPictureFrom(const std::string& path);
  // What a palette load says: how many entries went where.
  std::string PaletteLoadStatus(PaletteMerge merge, int count, int placed) const;
  bool SavePictureIn(const std::string& path, PictureFormat format);
  bool ExportCycleAnimationAs(const std::string& path, const std::optional<FixedLength>& length);
  // extras_ as a save writes them: a PNG's bKGD index where the map put its entry.
  PictureExtras ExtrasToSave() const;
  // Brings usage and pixels up to the board's map: the pixels are remapped into
  // `into` (from RemapBuffer()), or null for the identity map.
  void Remap(std::vector<uint8_t>* into);
  // Forward-only mode: the pixels, which show `from`, are rewritten to show `to`.
  void RemapInPlace(const IndexMap& from, const IndexMap& to);
  // The buffer for remapped pixels, prepared in the background after a load so
  // that the first command does not wait for fresh memory.
  void PrepareRemapBuffer();
  std::vector<uint8_t>& RemapBuffer();
  void RebuildDisplayPalette();
  void RecheckTiles();
  // True when every bank named is one of the board's banks of `size` (16 or 4)
  // entries; else reported.
  bool BanksOnBoard(std::initializer_list<int> banks, int size);
  void TileCheckMessage();
  // While the ranges play: the display palette shows the board's entries rotated
  // as the time since Play says. `force` shows it even when nothing moved.
  void ShowCycleFrame(bool force);
  bool ChangeCycles(const CycleRanges& next, const char* step);
  int64_t NowMicros() const;
  void ReportError(const Error& error);
  void ReportError(std::string cause) { ReportError(Error{std::move(cause)}); }
  // Applies `next` as one step unless it changes a locked position, which is
  // refused and reported; false then.
  bool ApplyUnlessLocked(const BoardState& next, const char* step);

  EditorServices svc_;
  DisplayPalette display_;
  bool hardware_colours_ = false;
  std::string message_;
  bool cycling_available_ = false;

  BoardState board_;
  History history_;
  bool history_shortened_ = false;  // the bound has dropped steps since the load
  bool history_notice_ = false;     // the last command was the first to drop one

  bool loaded_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::string path_;
  PictureFormat format_ = PictureFormat::Pcx;  // of the loaded file
  uint64_t saved_position_ = 0;                // the history's position at the last save
  // No position of the history: a restored picture stays changed until saved.
  static constexpr uint64_t kNeverSaved = ~uint64_t{0};
  PictureExtras extras_;   // of the picture's file, see Extras
  std::string load_note_;  // see LoadNote
  std::string save_note_;  // see SaveNote
  std::vector<uint8_t> loaded_pixels_;
  std::vector<uint8_t> pixels_;  // the remapped pixels; used while the map is not the identity
  bool identity_ = true;
  bool prepare_after_load_ = true;
  bool forward_only_ = false;
  std::thread preparing_;  // fills prepared_ with a touched buffer of the picture's size
  std::vector<uint8_t> prepared_;
  UsageCounts loaded_counts_{};
  UsageCounts usage_{};

  PaletteHandle hpal_ = 0;
  std::optional<TileCheck> tile_check_;

  bool flipped_ = false;

  bool cycle_on_ = false;
  bool playing_ranges_ = false;
  int64_t play_start_ = 0;  // microseconds of the clock at Play
  CycleSources shown_sources_{};
  bool frame_shown_ = false;
  int16_t cycle_scheme_ = 0;
  int cycle_interval_ = 16;
  std::array<int16_t, 6> cycle_starts_{};
  std::array<RGBTriple, 256> cycle_entries_{};
};

}  // namespace hw
