// The editor: the palette model of one picture, the state of the window's
// controls, and every command as a verb with arguments. The Qt shell turns
// events into these calls (asking dialogs first, see commands.h) and repaints
// what the EditorView hears about; tests and benchmarks drive it directly.
//
// One truth: the loaded pixels, the board (map, entries, marks) and nothing else
// decide what is shown and saved. Pixels = map applied to the loaded pixels; the
// board, the picture window (through the display palette) and the saved files
// all read the board's entries.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/history.h"
#include "board/sort.h"
#include "board/spread.h"
#include "display/display_palette.h"
#include "editor/services.h"
#include "formats/picture_io.h"
#include "pixels/histogram.h"

namespace hw {

// What the shell needs to hear to repaint. Every method has an empty default.
class EditorView {
 public:
  virtual ~EditorView() = default;
  virtual void SwatchChanged(int /*index*/) {}  // colour or mark of one swatch
  virtual void BoardChanged() {}                // all swatches, or their places
  virtual void ControlsChanged() {}             // captions, labels, enabled states
  virtual void PictureChanged() {}              // pixels or size of the picture
  virtual void PicturePaletteChanged() {}       // the colours the picture shows
  virtual void PictureWindowShown() {}
  virtual void TimerChanged() {}                // enabled or interval
  // Draws a white box between two corners (twips) in exclusive-or mode: drawing
  // the same box twice removes it.
  virtual void DrawBandBox(float /*x0*/, float /*y0*/, float /*x1*/, float /*y1*/) {}
};

struct EditorServices {
  ErrorReporter* errors = nullptr;
  BusyPointer* busy = nullptr;
  RandomSource* random = nullptr;
  EditorView* view = nullptr;  // may stay null
};

// The items of the cycle-scheme list, in list order.
inline constexpr std::array<const char*, 3> kListSchemeItems = {
    "DPaint x 5 (backward)", "DPaint x 5 (foreward)", "Shimmer"};

// A number as the labels show it: a space in the sign position of a number of 0
// or more, a minus sign otherwise (" 87", "-3").
std::string NumberText(int64_t value);

// The values of the main window's controls that commands read or set.
struct Controls {
  bool CheckMoveIndex = true;
  bool CheckMoveColor = true;
  std::string TextMoveCount = "1";  // at most 3 characters
  SortKey SortChoice = SortKey::Usage;
  bool CheckReverseSort = false;
  bool CheckOptimize = false;  // changes nothing
  bool CheckMerge = false;
  bool OptionMergeReplace = true;  // false: "Protect Range"
  bool CheckHW = true;
  int ListSchemeIndex = 0;
  int HScrollSpeed = 200;
  bool TimerEnabled = false;
  int TimerInterval = 16;  // milliseconds
  bool ButtonTestEnabled = false;
  std::string ButtonTestCaption = "Test";
  std::string Label1 = "<None Loaded>";
  std::string StatusText;  // what the last command has to say, if anything
  std::string LabelHistCnt = "0000000";
  std::string LabelUR = "240";
  std::string LabelLL = "15";
  std::string FormPicCaption = "Current Picture";
  bool FormPicVisible = false;
};

// Place and size of one swatch in twips, inside the main window's client area.
struct SwatchRect {
  float Left = 0, Top = 0, Width = 192, Height = 192;
};

class Editor {
 public:
  // palette_size is the display's palette-size answer (0 for a true-colour
  // screen, 256 for a palette display). Start() must run once before any command.
  explicit Editor(EditorServices services, int palette_size = 0);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  void SetView(EditorView* view) { svc_.view = view; }

  // ---- what the shell reads ----
  const BoardState& Board() const { return board_; }
  const Controls& controls() const { return ui_; }
  // The options the user sets (boxes, count text, choices); commands read them.
  Controls& controls() { return ui_; }
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
  // The colour a swatch shows: its board colour, or with "Use HW Colors" the
  // entry of the display palette realized in it (which colour cycling animates).
  RGBTriple SwatchShownColour(int index) const;
  bool IsMarked(int index) const;
  const std::array<SwatchRect, 256>& Swatches() const { return swatch_rects_; }
  bool Flipped() const { return flipped_; }
  bool CyclingOn() const { return cycle_on_; }
  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  // True from any step of the history until the picture is next saved (undoing
  // back to the saved state counts as unmodified).
  bool Modified() const { return loaded_ && history_.Position() != saved_position_; }
  // The file the picture came from.
  const std::string& PicturePath() const { return path_; }
  PictureFormat PictureFileFormat() const { return format_; }

  // ---- start-up and board ----
  void Start();
  void Flip();                         // "/": column-major <-> row-major board
  void SetHardwareColours(bool on);    // "Use HW Colors"
  void Select(int index);              // a click on a swatch: usage label and marks
  void SetMarks(int prev, int cur);    // puts both marks back where they were

  // ---- commands on the board; each one that changes the map or the entries is
  // one step of the history ----
  void Drop(int target, int source);   // a swatch dropped on another, or on itself
  void ReverseRange();
  void Sort(SortKey key, bool reverse);
  void Spread(SpreadKind kind);
  void EditColour(int index, RGBTriple colour);  // the marks stay where they are
  void Undo();
  void Redo();

  // ---- files; false after a failure, which has been reported ----
  bool LoadPicture(const std::string& path);
  // "Save Pic As...": PNG for a .png name, else PCX; the file written becomes
  // the picture's file.
  bool SavePicture(const std::string& path);
  // "Save Pic" (Ctrl+S): back to the file the picture came from, in its format.
  bool SavePictureToItsFile();
  bool LoadPalette(const std::string& path, PaletteMerge merge);
  // Writes the picture as shown (pixels, entries with their alpha) to `path` as
  // PNG and changes nothing else: not the picture's file, not the saved state.
  // Failures are returned, not reported.
  Status WriteCopy(const std::string& path) const;
  // Loads a copy written by WriteCopy as the unsaved state of the picture in
  // `original`: the title, "Save Pic" and the unsaved-changes question name
  // `original`, and the picture counts as changed until it is saved.
  bool RestorePicture(const std::string& copy, const std::string& original);
  bool SavePalette(const std::string& path);

  // ---- colour cycling preview ----
  void ToggleCycling();  // "Test" / "Stop"
  void SelectScheme(int index);
  void SetCycleSpeed(int value);
  void CycleTick();

  // ---- the rubber band on the window's surface (twips; button bits 1 left) ----
  void MouseDown(int button, float x, float y);
  void MouseMove(int button, float x, float y);
  void MouseUp(int button, float x, float y);

 private:
  EditorView* view() const { return svc_.view; }
  MoveWhat Moving() const { return {ui_.CheckMoveIndex, ui_.CheckMoveColor}; }
  // Makes `next` the board, brings the pixels, usage, display palette and labels
  // up to date (one remap at most) and tells the view. Records a history step
  // when `record` and the map or the entries changed.
  void Apply(const BoardState& next, bool record);
  bool LoadPictureFrom(const std::string& path);
  void ShowPictureName();
  // What a palette load says in the status line: how many entries went where.
  std::string PaletteLoadStatus(PaletteMerge merge, int count, int placed) const;  // the file's name and the size in the labels
  bool SavePictureIn(const std::string& path, PictureFormat format);
  // Brings usage and pixels up to the board's map: the pixels are remapped into
  // `into` (from RemapBuffer()), or null for the identity map.
  void Remap(std::vector<uint8_t>* into);
  // The buffer for remapped pixels, prepared in the background after a load so
  // that the first command does not wait for fresh memory.
  void PrepareRemapBuffer();
  std::vector<uint8_t>& RemapBuffer();
  void RebuildDisplayPalette();
  void LayOutBoard();
  void ShowUsageLabel();
  void ReportError(const std::string& message);

  EditorServices svc_;
  DisplayPalette display_;
  Controls ui_;

  BoardState board_;
  History history_;

  bool loaded_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::string path_;
  PictureFormat format_ = PictureFormat::Pcx;  // of the loaded file
  uint64_t saved_position_ = 0;                // the history's position at the last save
  // No position of the history: a restored picture stays changed until saved.
  static constexpr uint64_t kNeverSaved = ~uint64_t{0};
  PcxHeader header_{};  // of a loaded PCX file, whose fields a PCX save keeps
  std::vector<uint8_t> loaded_pixels_;
  std::vector<uint8_t> pixels_;  // the remapped pixels; used while the map is not the identity
  bool identity_ = true;
  std::thread preparing_;        // fills prepared_ with a touched buffer of the picture's size
  std::vector<uint8_t> prepared_;
  UsageCounts loaded_counts_{};
  UsageCounts usage_{};

  PaletteHandle hpal_ = 0;

  bool flipped_ = false;
  std::array<SwatchRect, 256> swatch_rects_{};
  float board_left_ = 0, board_top_ = 0, board_right_ = 0, board_bottom_ = 0;

  bool cycle_on_ = false;
  int16_t cycle_scheme_ = 0;
  std::array<int16_t, 6> cycle_starts_{};
  std::array<RGBTriple, 256> cycle_entries_{};

  // True from a left press inside the board until the left release.
  bool band_active_ = false;
  float band_x0_ = 0, band_y0_ = 0, band_x1_ = 0, band_y1_ = 0;
};

}  // namespace hw
