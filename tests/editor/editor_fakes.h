// Fake platform services and helpers for driving the editor without a window.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "../common/test_util.h"
#include "editor/commands.h"
#include "editor/editor.h"

namespace hw::test {

struct FakeFiles : FileDialogs {
  std::deque<std::optional<std::string>> opens, saves;  // answers in turn; then "cancelled"
  std::vector<FileKind> kinds;                          // what each dialog asked for
  std::optional<std::string> OpenFile(FileKind kind) override {
    kinds.push_back(kind);
    return Take(opens);
  }
  std::vector<std::string> suggested;  // what each save dialog started on
  std::optional<std::string> SaveFile(FileKind kind, const std::string& start) override {
    kinds.push_back(kind);
    suggested.push_back(start);
    return Take(saves);
  }
  static std::optional<std::string> Take(std::deque<std::optional<std::string>>& q) {
    std::optional<std::string> v;
    if (!q.empty()) v = q.front(), q.pop_front();
    return v;
  }
};

struct FakeColours : ColourDialog {
  std::optional<PackedColour> answer;   // the colour chosen (a reference bit is ignored)
  std::optional<uint8_t> answer_alpha;  // the opacity chosen; none keeps the entry's
  std::vector<PackedColour> initials;   // one per opening
  std::vector<BoardEntry> initial_entries;
  std::optional<BoardEntry> ChooseColour(int, BoardEntry initial) override {
    initials.push_back(PackRGB(initial.rgb));
    initial_entries.push_back(initial);
    if (!answer) return std::nullopt;
    return BoardEntry{GetRGB(*answer & (RedMask | GreenMask | BlueMask)),
                      answer_alpha.value_or(initial.A)};
  }
};

struct RecordingErrors : ErrorReporter {
  std::vector<std::string> messages;
  void ShowError(const std::string& message) override { messages.push_back(message); }
};

// Answers which position becomes transparent (nullopt: cancelled) and keeps what was asked.
struct FakeTransparent : TransparentQuestion {
  std::optional<int> answer;
  std::vector<std::string> asked;  // "file: count" per question
  std::optional<int> TransparentPosition(const std::string& file, const BoardEntries&,
                                         int count) override {
    asked.push_back(file + ": " + std::to_string(count));
    return answer;
  }
};

struct FakeBusy : BusyPointer {
  int depth = 0, waits = 0;
  void SetWait(bool wait) override {
    depth += wait ? 1 : -1;
    waits += wait;
  }
};

struct RecordingView : EditorView {};

// An editor with fakes, started as at program start, and the dialog layer over it.
struct Rig {
  FakeFiles files;
  FakeColours colours;
  RecordingErrors errors;
  FakeBusy busy;
  RecordingView view;
  Editor ed;
  EditorCommands commands{ed, &files, &colours};
  explicit Rig(int palette_size = 0, RandomSource* random = nullptr)
      : ed(EditorServices{&errors, &busy, random, &view}, palette_size) {
    ed.Start();
  }
  void Load(std::optional<std::string> path) {
    files.opens.push_back(path);
    commands.LoadPicture();
  }
  // A drop with the boxes as Boxes() last ticked them.
  void Drop(int target, int source, int count = 1) { ed.Drop(target, source, {count, what}); }
  void Boxes(bool index, bool colour) { what = {index, colour}; }
  MoveWhat what;
};

inline Palette EntryColours(const BoardState& b) {
  Palette p{};
  for (size_t i = 0; i < 256; ++i) p[i] = b.entries[i].rgb;
  return p;
}

// The colours the 256 swatches show.
inline Palette ShownBoard(const Editor& ed) {
  Palette p{};
  for (int i = 0; i < 256; ++i) p[static_cast<size_t>(i)] = ed.SwatchShownColour(i);
  return p;
}

// The colours a surface's realized palette shows.
inline Palette Realized(const Editor& ed, Surface surface) {
  Palette p{};
  const LogicalPalette* pal = ed.display().Realized(surface);
  if (pal == nullptr) return p;
  for (size_t i = 0; i < 256; ++i) p[i] = {(*pal)[i].red, (*pal)[i].green, (*pal)[i].blue};
  return p;
}

// What each pixel of the picture box shows.
inline std::vector<RGBTriple> ShownPicture(const Editor& ed) {
  const Palette pal = Realized(ed, Surface::PictureBox);
  std::vector<RGBTriple> out;
  for (uint8_t p : ed.Pixels()) out.push_back(pal[p]);
  return out;
}

// The pixels the map gives: the map applied to the loaded pixels.
inline Bytes Mapped(const Editor& ed) {
  Bytes out;
  for (uint8_t p : ed.LoadedPixels()) out.push_back(ed.Board().map[p]);
  return out;
}

// Writes an 8-bit run-length PCX picture with rows padded to an even length.
inline void WritePicture(const std::string& path, int w, int h, const Bytes& pixels,
                         const Palette& palette) {
  PcxHeader hd = MakeHeader(w, h, w + w % 2);
  auto bytes = WritePcx(hd, pixels, palette);
  ASSERT_TRUE(bytes.ok()) << bytes.error().message;
  WriteBytes(path, *bytes);
}

// What the editor shows of a picture and its board.
struct Snapshot {
  BoardState board;
  Bytes pixels;
  UsageCounts usage;
  std::string path;
  Palette picture_colours;
  explicit Snapshot(const Editor& ed)
      : board(ed.Board()),
        pixels(ed.Pixels()),
        usage(ed.Usage()),
        path(ed.PicturePath()),
        picture_colours(Realized(ed, Surface::PictureBox)) {}
  bool operator==(const Snapshot&) const = default;
};

}  // namespace hw::test
