// Fake platform services and helpers for driving the editor without a window.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/core/editor.h"
#include "picture/pcx.h"

namespace hw::test {

class FakeFiles : public FileDialogs {
 public:
  std::deque<std::optional<std::string>> opens, saves;
  std::optional<std::string> OpenFile() override { return Take(opens); }
  std::optional<std::string> SaveFile() override { return Take(saves); }

 private:
  static std::optional<std::string> Take(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
  }
};

class FakeColours : public ColourDialog {
 public:
  std::optional<PackedColour> answer;
  std::vector<PackedColour> initials;
  std::optional<PackedColour> ChooseColour(PackedColour initial) override {
    initials.push_back(initial);
    return answer;
  }
};

class RecordingErrors : public ErrorReporter {
 public:
  std::vector<std::string> messages;
  void ShowError(const std::string& message) override { messages.push_back(message); }
};

class FakeBusy : public BusyPointer {
 public:
  std::vector<bool> calls;
  void SetWait(bool wait) override { calls.push_back(wait); }
  bool Balanced() const {
    int depth = 0;
    for (bool w : calls) depth += w ? 1 : -1;
    return depth == 0;
  }
};

struct Box {
  float x0, y0, x1, y1;
  bool operator==(const Box&) const = default;
};

class RecordingView : public EditorView {
 public:
  std::vector<Box> boxes;
  int picture_changes = 0;
  void DrawBandBox(float x0, float y0, float x1, float y1) override {
    boxes.push_back({x0, y0, x1, y1});
  }
  void PictureChanged() override { ++picture_changes; }
};

// An editor with fakes, loaded as at program start.
struct Rig {
  FakeFiles files;
  FakeColours colours;
  RecordingErrors errors;
  FakeBusy busy;
  RecordingView view;
  Editor ed;
  explicit Rig(int palette_size = 0)
      : ed(EditorServices{&files, &colours, &errors, &busy, nullptr, &view}, palette_size) {
    ed.Form_Load();
  }
  EditorState& s() { return ed.state(); }
};

class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "hw_app_XXXXXX").string();
    path_ = mkdtemp(templ.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes an 8-bit run-length PCX picture.
inline void WritePicture(const std::string& path, int w, int h, const std::vector<uint8_t>& pixels,
                         const Palette& palette) {
  PcxHeader hd{};
  hd.Manufacturer = 10;
  hd.Version = 5;
  hd.Encoding = 1;
  hd.BitsPerPixel = 8;
  hd.Xmax = static_cast<int16_t>(w - 1);
  hd.Ymax = static_cast<int16_t>(h - 1);
  hd.NPlanes = 1;
  hd.BytesPerLine = static_cast<int16_t>(w + (w % 2));
  hd.PaletteInfo = 1;
  auto bytes = WritePcx(hd, pixels, palette);
  ASSERT_TRUE(bytes.ok()) << bytes.error().message;
  WriteBytes(path, *bytes);
}

// A palette whose entries all differ.
inline Palette DistinctPalette(int seed = 0) {
  Palette p{};
  for (int i = 0; i < 256; ++i) {
    p[static_cast<size_t>(i)] = RGBTriple{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                          static_cast<uint8_t>((i * 7 + seed) & 255)};
  }
  return p;
}

// Every field of the editor's state, compared one by one.
inline void ExpectSameState(const EditorState& a, const EditorState& b) {
#define HW_SAME(f) EXPECT_TRUE(a.f == b.f) << #f
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
#undef HW_SAME
}

}  // namespace hw::test
