// Fake platform services and helpers for driving the editor without a window.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "../common/test_util.h"
#include "app/core/editor.h"

namespace hw::test {

struct FakeFiles : FileDialogs {
  std::deque<std::optional<std::string>> opens, saves;  // answers in turn; then "cancelled"
  std::optional<std::string> OpenFile() override { return Take(opens); }
  std::optional<std::string> SaveFile() override { return Take(saves); }
  static std::optional<std::string> Take(std::deque<std::optional<std::string>>& q) {
    std::optional<std::string> v;
    if (!q.empty()) v = q.front(), q.pop_front();
    return v;
  }
};

struct FakeColours : ColourDialog {
  std::optional<PackedColour> answer;
  std::vector<PackedColour> initials;  // one per opening
  std::optional<PackedColour> ChooseColour(PackedColour initial) override {
    initials.push_back(initial);
    return answer;
  }
};

struct RecordingErrors : ErrorReporter {
  std::vector<std::string> messages;
  void ShowError(const std::string& message) override { messages.push_back(message); }
};

struct FakeBusy : BusyPointer {
  int depth = 0, waits = 0;
  void SetWait(bool wait) override {
    depth += wait ? 1 : -1;
    waits += wait;
  }
};

struct Box {
  float x0, y0, x1, y1;
  bool operator==(const Box&) const = default;
};

struct RecordingView : EditorView {
  std::vector<Box> boxes;
  int timer_changes = 0, palette_changes = 0, board_changes = 0;
  void DrawBandBox(float x0, float y0, float x1, float y1) override {
    boxes.push_back({x0, y0, x1, y1});
  }
  void TimerChanged() override { ++timer_changes; }
  void PicturePaletteChanged() override { ++palette_changes; }
  void BoardChanged() override { ++board_changes; }
};

struct Fakes {
  FakeFiles files;
  FakeColours colours;
  RecordingErrors errors;
  FakeBusy busy;
  RecordingView view;
  EditorServices Services(RandomSource* random) {
    return {&files, &colours, &errors, &busy, random, &view};
  }
};

// An editor with fakes, loaded as at program start.
struct Rig : Fakes {
  Editor ed;
  explicit Rig(int palette_size = 0, RandomSource* random = nullptr)
      : ed(Services(random), palette_size) {
    ed.Form_Load();
  }
  EditorState& s() { return ed.state(); }
  void Load(std::optional<std::string> path) {
    files.opens.push_back(path);
    ed.ButtonLoad_Click();
  }
};

// The colours the 256 swatches show.
inline Palette ShownBoard(const Editor& ed) {
  Palette p{};
  for (int i = 0; i < 256; ++i) p[static_cast<size_t>(i)] = ed.SwatchShownColour(i);
  return p;
}

// Writes an 8-bit run-length PCX picture with rows padded to an even length.
inline void WritePicture(const std::string& path, int w, int h, const Bytes& pixels,
                         const Palette& palette) {
  PcxHeader hd = MakeHeader(w, h, w + w % 2);
  auto bytes = WritePcx(hd, pixels, palette);
  ASSERT_TRUE(bytes.ok()) << bytes.error().message;
  WriteBytes(path, *bytes);
}

// Every field of the editor's state, compared one by one.
inline void ExpectSameState(const EditorState& a, const EditorState& b) {
#define HW_SAME(f) EXPECT_TRUE(a.f == b.f) << #f
  // clang-format off
  HW_SAME(CycleOn); HW_SAME(PicLoaded); HW_SAME(LastSrc); HW_SAME(LastDst);
  HW_SAME(CycleEntries); HW_SAME(Pal); HW_SAME(PicPal); HW_SAME(IndexMap);
  HW_SAME(BandX0); HW_SAME(BandY0); HW_SAME(BandX1); HW_SAME(BandY1);
  HW_SAME(BoardTop); HW_SAME(BoardLeft); HW_SAME(BoardRight); HW_SAME(BoardBottom);
  HW_SAME(OrigPixels); HW_SAME(Pixels); HW_SAME(PcxHead); HW_SAME(PixCount); HW_SAME(HPal);
  HW_SAME(Histo); HW_SAME(CycleStarts); HW_SAME(PrevIndex); HW_SAME(CurIndex);
  HW_SAME(Flipped); HW_SAME(CycleScheme); HW_SAME(BlotColour);
  for (size_t i = 0; i < 256; ++i) {
    HW_SAME(Blot[i].Left); HW_SAME(Blot[i].Top); HW_SAME(Blot[i].Width); HW_SAME(Blot[i].Height);
  }
  HW_SAME(ui.CheckMoveIndex); HW_SAME(ui.CheckMoveColor); HW_SAME(ui.TextMoveCount);
  HW_SAME(ui.CheckMerge); HW_SAME(ui.OptionMergeReplace); HW_SAME(ui.CheckHW);
  HW_SAME(ui.ButtonTestEnabled); HW_SAME(ui.Label1); HW_SAME(ui.LabelHistCnt);
  HW_SAME(ui.LabelUR); HW_SAME(ui.LabelLL); HW_SAME(ui.FormPicCaption);
  HW_SAME(ui.FormPicExists); HW_SAME(ui.FormPicVisible);
  // clang-format on
#undef HW_SAME
}

}  // namespace hw::test
