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
  std::optional<std::string> OpenFile(FileKind kind) override { return Take(kind, opens); }
  std::vector<std::string> suggested;  // what each save dialog started on
  std::optional<std::string> SaveFile(FileKind kind, const std::string& start) override {
    suggested.push_back(start);
    return Take(kind, saves);
  }
  std::optional<PaletteFormat> format;  // the filter chosen names this format
  std::optional<PaletteFormat> ChosenPaletteFormat() const override { return format; }
  std::optional<std::string> Take(FileKind kind, std::deque<std::optional<std::string>>& q) {
    kinds.push_back(kind);
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
  void ShowError(const Error& error) override { messages.push_back(error.Text()); }
};

// Answers "save all the same?" from a queue (then Cancel) and keeps what was asked.
struct FakeLossQuestion : Questions {
  std::vector<bool> answers;
  std::vector<std::string> asked;
  bool SaveAllTheSame(const std::string& file, const std::string& picture,
                      const SaveLoss& loss) override {
    std::string text = file + ": ";
    if (loss.frames > 1) {
      text += picture + " has " + std::to_string(loss.frames) + " frames" + (loss.what ? "; " : "");
    }
    asked.push_back(text + loss.what.value_or(""));
    return asked.size() <= answers.size() && answers[asked.size() - 1];
  }
};

// Answers which position becomes transparent (nullopt: cancelled) and keeps what was asked.
struct FakeTransparent : Questions {
  std::optional<int> answer;
  std::vector<std::string> asked;  // "file: count" per question
  std::optional<int> TransparentPosition(const std::string& file, const BoardEntries&,
                                         int count) override {
    asked.push_back(file + ": " + std::to_string(count));
    return answer;
  }
};

struct FakeBusy : BusyPointer {
  int depth = 0;
  void SetWait(bool wait) override { depth += wait ? 1 : -1; }
};

// A clock that moves only when the test says so.
struct FakeClock : Clock {
  int64_t now = 1'000'000'000;
  int64_t NowMicros() override { return now; }
};

// An editor with fakes, started as at program start, and the dialog layer over it.
struct Rig {
  FakeFiles files;
  FakeColours colours;
  RecordingErrors errors;
  FakeBusy busy;
  FakeClock clock;
  Editor ed;
  EditorCommands commands{ed, &files, &colours};
  MoveWhat what;  // the boxes as last ticked
  explicit Rig(int palette_size = 0, RandomSource* random = nullptr)
      : ed(EditorServices{&errors, &busy, random, &clock, nullptr}, palette_size) {
    ed.Start();
  }
  void Load(std::optional<std::string> path) {
    files.opens.push_back(path);
    commands.LoadPicture();
  }
  // A drop with the boxes as Boxes() last ticked them.
  void Drop(int target, int source, int count = 1) { ed.Drop(target, source, {count, what}); }
  void Boxes(bool index, bool colour) { what = {index, colour}; }
};

inline Palette EntryColours(const BoardState& b) {
  Palette p{};
  for (size_t i = 0; i < 256; ++i) p[i] = b.entries[i].rgb;
  return p;
}

// The colours the 256 swatches show.
inline Palette ShownBoard(const Editor& ed) {
  Palette p{};
  for (int i = 0; i < 256; ++i) p[size_t(i)] = ed.SwatchShownColour(i);
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

// What each pixel shows through a palette.
inline std::vector<RGBTriple> Looks(const Bytes& pixels, const Palette& palette) {
  std::vector<RGBTriple> out;
  for (uint8_t p : pixels) out.push_back(palette[p]);
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
  ASSERT_TRUE(bytes.ok()) << bytes.error().Text();
  WriteBytes(path, *bytes);
}

// What the editor shows of a picture and its board.
inline auto Snapshot(const Editor& ed) {
  return std::tuple(ed.Board(), ed.Pixels(), ed.Usage(), ed.PicturePath(),
                    Realized(ed, Surface::PictureBox));
}

}  // namespace hw::test
