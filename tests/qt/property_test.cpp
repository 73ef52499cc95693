// Random use of the real windows (fixed seeds): after any sequence of commands, undos
// and redos the picture window shows exactly the picture "Save Pic..." writes, the
// board the palette "Save Palette..." writes, and undoing every step gives back the
// file as loaded.
#include <QCheckBox>
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

// Names the test cases, in listings too.
void PrintTo(const Scenario& s, std::ostream* os) {
  *os << "Seed_" << s.seed << (s.hardware_colours ? "_hardware_colours" : "_all_colours")
      << (s.flipped ? "_flipped" : "");
}

class RandomUse : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    rng_.seed(GetParam().seed);
    Palette merge_palette{};
    for (size_t k = 0; k < 256; ++k)
      palette_[k] = RandomColour(), merge_palette[k] = RandomColour();
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
  RGBTriple RandomColour() { return {uint8_t(Pick(256)), uint8_t(Pick(256)), uint8_t(Pick(256))}; }
  void Mark() {
    for (int i = 0, k = Pick(256); i < 2; ++i, k = Pick(256)) rig_->Drop(k, k);  // two clicks
  }

  // One random command, as a user gives it.
  void Step() {
    FormRig& r = *rig_;
    static const char* const kCounts[] = {"1", "2", "3", "5", "17", "0", "-2", "abc", "300"};
    static const char* const kSorts[] = {"OptionSortHist", "OptionSortValue", "OptionSortHue",
                                         "OptionSortSat", "OptionSortRed"};
    static const char* const kSpreads[] = {"CommandSpreadRGB", "CommandSpreadHSV",
                                           "CommandSpreadHSVReverse", "CommandReverse"};
    const int what = Pick(12), base = Pick(236);
    if (what == 0) r.SetBox("CheckMoveIndex", Pick(2)), r.SetBox("CheckMoveColor", Pick(2));
    if (what == 1 || what == 2) r.TypeCount(kCounts[Pick(9)]), r.Drop(Pick(256), Pick(256));
    if (what == 3) {  // three run drops over the same entries
      r.TypeCount(std::to_string(3 + Pick(6)).c_str());
      r.Drop(base + 2, base), r.Drop(base + 1, base + 3), r.Drop(base, base + 2 + Pick(3));
    }
    if (what == 4) Mark(), r.Click(kSpreads[Pick(4)]);
    if (what == 5) {
      r.Click(kSorts[Pick(5)]), r.SetBox("CheckReverseSort", Pick(2)), r.Click("CommandSort");
    }
    if (what == 6) r.colours.answer = PackRGB(RandomColour()), r.DoubleClick(Pick(256));
    if (what == 7) {
      Mark(), r.SetBox("CheckMerge", Pick(3) != 0);
      r.Click(Pick(2) ? "OptionMergeReplace" : "OptionMergeProtect");
      r.files.opens.push_back(palette_file_);
      r.Click("CommandLoadPal");
    }
    if (what >= 8 && r.Find(what < 11 ? "ButtonUndo" : "ButtonRedo")->isEnabled())
      r.Click(what < 11 ? "ButtonUndo" : "ButtonRedo");
  }

  // The picture as the picture window paints it, pixel for pixel, against the
  // decoded file "Save Pic..." writes, whose pixels are the loaded ones sent through
  // the board's map; the swatches against the file "Save Palette..." writes.
  void ExpectWindowsMatchSavedFiles() {
    FormRig& r = *rig_;
    r.files.saves = {saved_picture_, saved_palette_};
    r.Click("ButtonSave");
    r.Click("CommandSavePal");
    auto pic = LoadPictureFile(saved_picture_);
    auto pal = LoadAnyPaletteFile(saved_palette_);
    ASSERT_TRUE(pic && pal);
    const QImage shown = r.form.picture_window()->View()->grab().toImage();
    ASSERT_EQ(shown.size(), QSize(kWidth, kHeight));
    int wrong = 0, misplaced = 0;
    for (size_t k = 0; k < pixels_.size(); ++k) {
      const QRgb saved = Rgb(pic->entries[pic->pixels[k]].rgb);
      wrong += (shown.pixel(int(k) % kWidth, int(k) / kWidth) & 0xFFFFFF) != (saved & 0xFFFFFF);
      misplaced += pic->pixels[k] != r.editor.Board().map[pixels_[k]];
    }
    EXPECT_EQ(std::tuple(wrong, misplaced), std::tuple(0, 0)) << "pixels shown or saved wrong";
    const std::vector<QRgb> swatches = r.SwatchColours();
    for (size_t i = 0; i < 256; ++i) {
      ASSERT_EQ(swatches[i] & 0xFFFFFF, Rgb(pal->entries[i].rgb) & 0xFFFFFF) << "swatch " << i;
    }
    EXPECT_TRUE(r.errors.messages.empty());
  }

  std::mt19937 rng_;
  TempDir dir_;
  std::string picture_ = dir_.File("picture.pcx"), palette_file_ = dir_.File("other.pcx");
  std::string saved_picture_ = dir_.File("saved.pcx"), saved_palette_ = dir_.File("pal.pcx");
  Palette palette_{};
  Bytes pixels_ = Bytes(kWidth * kHeight);
  std::unique_ptr<FormRig> rig_;
};

TEST_P(RandomUse, WindowBoardAndSavedFilesAgreeAndUndoReturnsTheLoadedFile) {
  for (int sequence = 0; sequence < 4; ++sequence) {
    for (int i = 0; i < 30; ++i) Step();
    SCOPED_TRACE("after sequence " + std::to_string(sequence));
    ASSERT_NO_FATAL_FAILURE(ExpectWindowsMatchSavedFiles());
  }
  const auto end = std::tuple(rig_->BoardColours(), rig_->editor.Pixels(),
                              rig_->Find("ButtonRedo")->isEnabled());
  int undone = 0;
  for (; rig_->Find("ButtonUndo")->isEnabled() && undone < 1000; ++undone)
    rig_->Click("ButtonUndo");
  ExpectWindowsMatchSavedFiles();
  auto back = LoadPictureFile(saved_picture_);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(std::tuple(back->pixels, back->entries), std::tuple(pixels_, Opaque(palette_)));
  // Redoing every step comes back to where the undos started.
  for (int i = 0; i < undone; ++i) rig_->Click("ButtonRedo");
  EXPECT_EQ(std::tuple(rig_->BoardColours(), rig_->editor.Pixels(),
                       rig_->Find("ButtonRedo")->isEnabled()),
            end);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomUse,
                         ::testing::Values(Scenario{11, false, false}, Scenario{12, true, false},
                                           Scenario{13, false, true}, Scenario{14, true, true},
                                           Scenario{15, false, false}, Scenario{16, true, false}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

}  // namespace
}  // namespace hw::test
