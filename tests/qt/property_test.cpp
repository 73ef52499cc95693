// Random use of the real windows: after any sequence of commands, undos and redos
// the picture window shows exactly the picture that "Save Pic..." writes, the
// board shows exactly the palette that "Save Palette..." writes, and undoing
// every step gives back the file as loaded. Fixed seeds and a fixed number of
// steps, so every run checks the same sequences.
#include <QCheckBox>
#include <QRadioButton>
#include <random>

#include "qt_fakes.h"

namespace hw::test {
namespace {

constexpr int kWidth = 37;  // odd: rows are padded in the file
constexpr int kHeight = 23;

struct Scenario {
  uint32_t seed;
  bool hardware_colours;  // "Use HW Colors" on a 256-entry display
  bool flipped;
};

class RandomUse : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    rng_.seed(GetParam().seed);
    for (auto& c : palette_) c = RandomColour();
    Palette merge_palette{};
    for (auto& c : merge_palette) c = RandomColour();
    pixels_.resize(kWidth * kHeight);
    for (auto& p : pixels_) p = static_cast<uint8_t>(Pick(256));
    WritePicture(picture_, kWidth, kHeight, pixels_, palette_);
    WritePicture(palette_file_, 16, 16, Bytes(256, 0), merge_palette);

    rig_ = std::make_unique<FormRig>(GetParam().hardware_colours ? 256 : 0);
    ASSERT_EQ(rig_->Find<QCheckBox>("CheckHW")->isChecked(), GetParam().hardware_colours);
    if (GetParam().flipped) rig_->Click("CommanFlip");
    rig_->LoadPicture(picture_);
    ASSERT_TRUE(rig_->editor.PictureLoaded());
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  RGBTriple RandomColour() {
    return {static_cast<uint8_t>(Pick(256)), static_cast<uint8_t>(Pick(256)),
            static_cast<uint8_t>(Pick(256))};
  }
  void Mark(int a, int b) {
    rig_->Drop(a, a);  // a click selects
    rig_->Drop(b, b);
  }

  // One random command, as a user gives it.
  void Step() {
    FormRig& r = *rig_;
    static const char* const kCounts[] = {"1",  "1", "2",  "3",   "5",  "8",
                                          "17", "0", "-2", "abc", "300"};
    static const char* const kSorts[] = {"OptionSortHist", "OptionSortValue", "OptionSortHue",
                                         "OptionSortSat", "OptionSortRed"};
    static const char* const kSpreads[] = {"CommandSpreadRGB", "CommandSpreadHSV",
                                           "CommandSpreadHSVReverse"};
    switch (Pick(12)) {
      case 0:
        r.SetBox("CheckMoveIndex", Pick(2) == 1);
        r.SetBox("CheckMoveColor", Pick(2) == 1);
        break;
      case 1:
      case 2:
        r.TypeCount(kCounts[Pick(11)]);
        r.Drop(Pick(256), Pick(256));
        break;
      case 3: {
        // Three run drops over the same entries.
        const int base = Pick(236);
        const int count = 3 + Pick(6);
        r.TypeCount(std::to_string(count).c_str());
        r.Drop(base + 2, base);
        r.Drop(base + 1, base + 3);
        r.Drop(base, base + 2 + Pick(3));
        break;
      }
      case 4:
        Mark(Pick(256), Pick(256));
        r.Click("CommandReverse");
        break;
      case 5:
        r.Click(kSorts[Pick(5)]);
        r.SetBox("CheckReverseSort", Pick(2) == 1);
        r.Click("CommandSort");
        break;
      case 6:
        Mark(Pick(256), Pick(256));
        r.Click(kSpreads[Pick(3)]);
        break;
      case 7:
        r.colours.answer = PackRGB(RandomColour());
        r.DoubleClick(Pick(256));
        break;
      case 8:
        Mark(Pick(256), Pick(256));
        r.SetBox("CheckMerge", Pick(3) != 0);
        r.Click(Pick(2) ? "OptionMergeReplace" : "OptionMergeProtect");
        r.files.opens.push_back(palette_file_);
        r.Click("CommandLoadPal");
        break;
      case 9:
      case 10:
        if (r.Find("ButtonUndo")->isEnabled()) r.Click("ButtonUndo");
        break;
      case 11:
        if (r.Find("ButtonRedo")->isEnabled()) r.Click("ButtonRedo");
        break;
    }
  }

  // The picture as the picture window paints it, pixel for pixel, against the
  // decoded file "Save Pic..." writes; the board against "Save Palette...".
  void ExpectWindowsMatchSavedFiles() {
    FormRig& r = *rig_;
    r.files.saves.push_back(saved_picture_);
    r.Click("ButtonSave");
    auto pic = LoadPictureFile(saved_picture_);
    ASSERT_TRUE(pic.ok()) << pic.error().message;
    const QImage shown = r.form.picture_window()->View()->grab().toImage();
    ASSERT_EQ(shown.size(), QSize(kWidth, kHeight));
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const RGBTriple& c = pic->entries[pic->pixels[static_cast<size_t>(y * kWidth + x)]].rgb;
        wrong += (shown.pixel(x, y) & 0xFFFFFF) != (Rgb(c) & 0xFFFFFF);
      }
    }
    EXPECT_EQ(wrong, 0) << "pixels shown in other colours than saved";
    // The saved pixels are the loaded ones sent through the board's map.
    const IndexMap& map = r.editor.Board().map;
    int misplaced = 0;
    for (size_t k = 0; k < pixels_.size(); ++k) misplaced += pic->pixels[k] != map[pixels_[k]];
    EXPECT_EQ(misplaced, 0) << "pixels saved at other positions than the map gives";

    r.files.saves.push_back(saved_palette_);
    r.Click("CommandSavePal");
    auto pal = LoadAnyPaletteFile(saved_palette_);
    ASSERT_TRUE(pal.ok()) << pal.error().message;
    const std::vector<QRgb> swatches = r.SwatchColours();
    for (size_t i = 0; i < 256; ++i) {
      ASSERT_EQ(swatches[i] & 0xFFFFFF, Rgb(pal->entries[i].rgb) & 0xFFFFFF) << "swatch " << i;
    }
    EXPECT_TRUE(r.errors.messages.empty());
  }

  std::mt19937 rng_;
  TempDir dir_;
  std::string picture_ = dir_.File("picture.pcx");
  std::string palette_file_ = dir_.File("other.pcx");
  std::string saved_picture_ = dir_.File("saved.pcx");
  std::string saved_palette_ = dir_.File("saved_palette.pcx");
  Palette palette_{};
  Bytes pixels_;
  std::unique_ptr<FormRig> rig_;
};

TEST_P(RandomUse, WindowBoardAndSavedFilesAgreeAndUndoReturnsTheLoadedFile) {
  for (int sequence = 0; sequence < 4; ++sequence) {
    for (int i = 0; i < 30; ++i) Step();
    SCOPED_TRACE("after sequence " + std::to_string(sequence));
    ExpectWindowsMatchSavedFiles();
    if (HasFatalFailure()) return;
  }
  const Palette board = rig_->BoardColours();
  const Bytes pixels = rig_->editor.Pixels();
  const bool could_redo = rig_->Find("ButtonRedo")->isEnabled();
  int undone = 0;
  while (rig_->Find("ButtonUndo")->isEnabled() && undone < 1000) {
    rig_->Click("ButtonUndo");
    ++undone;
  }
  ExpectWindowsMatchSavedFiles();
  auto back = LoadPictureFile(saved_picture_);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(std::tuple(back->pixels, back->entries), std::tuple(pixels_, Opaque(palette_)));

  // Redoing every step comes back to where the undos started.
  for (int i = 0; i < undone; ++i) rig_->Click("ButtonRedo");
  EXPECT_EQ(rig_->Find("ButtonRedo")->isEnabled(), could_redo);
  EXPECT_EQ(rig_->BoardColours(), board);
  EXPECT_EQ(rig_->editor.Pixels(), pixels);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomUse,
                         ::testing::Values(Scenario{11, false, false}, Scenario{12, true, false},
                                           Scenario{13, false, true}, Scenario{14, true, true},
                                           Scenario{15, false, false}, Scenario{16, true, false}));

}  // namespace
}  // namespace hw::test
