// The window and `huewright-cli edit` agree to the byte: random sequences of the
// same commands, given through the window's controls and as edit steps (half of
// them from a script), end in the same picture file and the same palette file;
// among them range and lightness sorts, reductions and locks; and the windows show
// exactly the files the window saves, on a display of all colours or of 256.
#include <QCheckBox>
#include <algorithm>
#include <functional>
#include <random>

#include "cli/edit_command.h"
#include "formats/pictures/png.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

constexpr int kWidth = 29;
constexpr int kHeight = 17;

struct Case {
  uint32_t seed;
  bool png;                       // a PNG with transparent entries, saved as PNG; else PCX
  bool hardware_colours = false;  // "Use HW Colors" on a 256-entry display
};

// Names the test cases, in listings too.
void PrintTo(const Case& c, std::ostream* os) {
  *os << "Seed_" << c.seed << (c.png ? "_png" : "_pcx") << (c.hardware_colours ? "_hw" : "");
}

// One command as a step and as what a user does in the window.
struct Command {
  std::string step;
  std::function<void(FormRig&)> window;
};

class WindowAndEdit : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    rng_.seed(GetParam().seed);
    Bytes pixels(kWidth * kHeight);
    for (auto& p : pixels) p = static_cast<uint8_t>(Pick(3) == 0 ? Pick(8) : Pick(256));
    BoardEntries entries{};
    for (auto& e : entries) e = {Colour(), static_cast<uint8_t>(Pick(4) == 0 ? Pick(256) : 255)};
    Palette colours{};
    for (size_t i = 0; i < 256; ++i) colours[i] = entries[i].rgb;
    if (GetParam().png) {
      auto png = EncodeIndexedPng(kWidth, kHeight, pixels, entries);
      ASSERT_TRUE(png.ok());
      WriteBytes(in_, *png);
    } else {
      WritePicture(in_, kWidth, kHeight, pixels, colours);
    }
    Palette full{};
    for (auto& c : full) c = Colour();
    WritePicture(full_palette_, 16, 16, Bytes(256, 0), full);
    std::string gpl = "GIMP Palette\n";
    for (int i = 0; i < 12; ++i) {
      const RGBTriple c = Colour();
      gpl += std::to_string(c.R) + " " + std::to_string(c.G) + " " + std::to_string(c.B) + "\n";
    }
    WriteBytes(short_palette_, Bytes(gpl.begin(), gpl.end()));
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  RGBTriple Colour() {
    return {static_cast<uint8_t>(Pick(256)), static_cast<uint8_t>(Pick(256)),
            static_cast<uint8_t>(Pick(256))};
  }
  std::string Range(int* low, int* high) {
    *low = Pick(256);
    *high = *low + Pick(256 - *low);
    return std::to_string(*low) + "-" + std::to_string(*high);
  }
  // "Index" and "Color" as WHAT says; the default WHAT is sometimes written out.
  std::pair<std::string, MoveWhat> What() {
    static const std::pair<const char*, MoveWhat> kWhats[] = {{"", {true, true}},
                                                              {":both", {true, true}},
                                                              {":index", {true, false}},
                                                              {":colour", {false, true}}};
    return kWhats[Pick(4)];
  }
  static void Boxes(FormRig& r, MoveWhat what) {
    r.SetBox("CheckMoveIndex", what.index);
    r.SetBox("CheckMoveColor", what.colour);
  }
  // Two clicks: the range the range commands take, its ends in either order.
  static void Mark(FormRig& r, int a, int b) {
    r.Drop(a, a);
    r.Drop(b, b);
  }

  Command Random() {
    int low = 0, high = 0;
    int kind = Pick(12);
    // While positions are locked, the commands that would be refused there are not
    // given (a refused step ends the command line's run).
    // (and a remap whose transparent position, below 12, is locked).
    const auto refused = [this](int k) {
      return (locked_.any() && (k == 1 || k == 2 || k == 4)) || (k == 5 && (locked_ << 244).any());
    };
    while (refused(kind)) kind = Pick(12);
    switch (kind) {
      case 0: {
        static const std::pair<const char*, const char*> kKeys[] = {
            {"usage", "OptionSortHist"},
            {"hsv", "OptionSortHue"},
            {"rgb", "OptionSortRed"},
            {"lightness", "OptionSortLightness"}};
        const auto [key, option] = kKeys[Pick(4)];
        const bool reverse = Pick(2) == 1;
        const auto [what_text, what] = What();
        const bool range_only = Pick(2) == 1;
        const std::string range = range_only ? ":" + Range(&low, &high) : "";
        return {std::string("sort:") + key + (reverse ? ":reverse" : "") + what_text + range,
                [=](FormRig& r) {
                  if (range_only) Mark(r, high, low);
                  r.Click(option);
                  r.SetBox("CheckReverseSort", reverse);
                  r.SetBox("CheckSortRange", range_only);
                  Boxes(r, what);
                  r.Click("CommandSort");
                }};
      }
      case 8: {
        const int n = std::min(255, static_cast<int>(locked_.count()) + 10 + Pick(40));
        return {"reduce:" + std::to_string(n), [=, this](FormRig& r) {
                  answers_.reduce = n;
                  r.form.Action("actionReduceColours")->trigger();
                }};
      }
      case 9:
      case 10: {
        const bool lock = kind == 9;
        low = Pick(256);
        high = std::min(255, low + Pick(6));
        for (int p = low; p <= high; ++p) locked_.set(static_cast<size_t>(p), lock);
        return {std::string(lock ? "lock:" : "unlock:") + std::to_string(low) + "-" +
                    std::to_string(high),
                [=](FormRig& r) {
                  Mark(r, low, high);
                  r.form.Action(lock ? "actionLockRange" : "actionUnlockRange")->trigger();
                }};
      }
      case 1: {
        const int target = Pick(256), source = Pick(256);
        const int count = Pick(5) == 0 ? 1 + Pick(256) : 1 + Pick(12);
        const auto [what_text, what] = What();
        const std::string count_text = count == 1 && Pick(2) ? "" : ":" + std::to_string(count);
        return {"move:" + std::to_string(target) + ":" + std::to_string(source) + count_text +
                    what_text,
                [=](FormRig& r) {
                  r.TypeCount(std::to_string(count).c_str());
                  Boxes(r, what);
                  r.Drop(target, source);
                }};
      }
      case 2: {
        const std::string range = Range(&low, &high);
        const bool swap = Pick(2) == 1;
        const auto [what_text, what] = What();
        return {"reverse:" + range + what_text, [=](FormRig& r) {
                  Mark(r, swap ? high : low, swap ? low : high);
                  Boxes(r, what);
                  r.Click("CommandReverse");
                }};
      }
      case 3: {
        static const std::pair<const char*, const char*> kSpreads[] = {
            {"rgb", "CommandSpreadRGB"},
            {"hsv", "CommandSpreadHSV"},
            {"hsv-reverse", "CommandSpreadHSVReverse"}};
        const auto [kind, button] = kSpreads[Pick(3)];
        const std::string range = Range(&low, &high);
        return {std::string("spread:") + kind + ":" + range, [=](FormRig& r) {
                  Mark(r, low, high);
                  r.Click(button);
                }};
      }
      case 4: {
        const int index = Pick(256);
        const RGBTriple c = Colour();
        char hex[8];
        std::snprintf(hex, sizeof hex, "#%02x%02X%02x", c.R, c.G, c.B);
        return {"set:" + std::to_string(index) + ":" + hex, [=](FormRig& r) {
                  r.colours.answer = PackRGB(c);
                  r.DoubleClick(index);
                }};
      }
      case 5: {
        // The position is given every time; it counts only where the picture
        // needs one, which is where the window asks.
        const std::string file = Pick(2) ? full_palette_ : short_palette_;
        const bool perceptual = Pick(2) == 1;
        const int transparent = Pick(12);
        return {"remap:" + file +
                    (perceptual ? ":perceptual"
                     : Pick(2)  ? ":rgb"
                                : "") +
                    ":transparent=" + std::to_string(transparent),
                [=, this](FormRig& r) {
                  answers_.transparent = transparent;
                  r.files.opens.push_back(file);
                  r.form.Action(perceptual ? "actionRemapPerceptual" : "actionRemapRgb")->trigger();
                }};
      }
      case 6: {
        const bool compact = Pick(2) == 1;
        return {compact ? "compact" : "merge-duplicates", [=](FormRig& r) {
                  r.form.Action(compact ? "actionCompact" : "actionMergeDuplicates")->trigger();
                }};
      }
      case 7: {
        // A target keeps to itself the commands after it; Snap All snaps the board.
        if (Pick(3) == 0) {
          return {"snap", [](FormRig& r) { r.form.Action("actionSnapAll")->trigger(); }};
        }
        const std::string name = TargetPresets()[static_cast<size_t>(Pick(11))].name;
        return {"target:" + name,
                [=](FormRig& r) { r.form.Action(("actionTarget_" + name).c_str())->trigger(); }};
      }
      default: {
        const std::string file = Pick(2) ? full_palette_ : short_palette_;
        const int merge = Pick(3);
        const std::string range = Range(&low, &high);
        static const char* const kMerges[] = {"", ":replace:", ":protect:"};
        return {"palette:" + file + kMerges[merge] + (merge ? range : ""), [=](FormRig& r) {
                  Mark(r, low, high);
                  r.SetBox("CheckMerge", merge != 0);
                  if (merge) r.Click(merge == 1 ? "OptionMergeReplace" : "OptionMergeProtect");
                  r.files.opens.push_back(file);
                  r.Click("CommandLoadPal");
                }};
      }
    }
  }

  // Saves all the same; the transparent position and the count as the command
  // being drawn says.
  struct Answers : FakeQuestions {
    std::optional<int> transparent;
    int reduce = 0;
    bool SaveAllTheSame(const std::string&, const std::string&, const SaveLoss&) override {
      return true;
    }
    std::optional<int> TransparentPosition(const std::string&, const BoardEntries&, int) override {
      return transparent;
    }
    std::optional<int> ColourCount(int, int, int) override { return reduce; }
  } answers_;
  LockSet locked_;  // as the commands given so far leave them
  std::mt19937 rng_;
  TempDir dir_;
  const char* ext_ = GetParam().png ? ".png" : ".pcx";
  std::string in_ = dir_.File(std::string("in") + ext_);
  std::string full_palette_ = dir_.File("full:256.pcx");  // a colon in FILE is FILE's
  std::string short_palette_ = dir_.File("short.gpl");
};

TEST_P(WindowAndEdit, SameCommandsWriteTheSameBytes) {
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    FormRig rig(GetParam().hardware_colours ? 256 : 0);
    rig.form.SetQuestions(&answers_);
    locked_.reset();
    rig.LoadPicture(in_);
    ASSERT_TRUE(rig.editor.PictureLoaded());
    std::vector<std::string> args = {in_, dir_.File(std::string("cli") + ext_)};
    std::string script = "# the second half\n\n";
    const int steps = 4 + Pick(20);
    for (int i = 0; i < steps; ++i) {
      Command c = Random();
      SCOPED_TRACE(c.step);
      c.window(rig);
      (i < steps / 2 ? args.push_back(c.step) : void(script += "  " + c.step + "\n"));
    }
    WriteBytes(dir_.File("steps.txt"), Bytes(script.begin(), script.end()));
    for (const char* option : {"--script", "steps.txt", "--palette-out", "cli.gpl"}) {
      args.push_back(option[0] == '-' ? option : dir_.File(option));
    }
    ASSERT_EQ(cli::Edit(args), 0) << script;

    rig.files.saves.push_back(dir_.File(std::string("window") + ext_));
    rig.Click("ButtonSave");
    rig.files.saves.push_back(dir_.File("window.gpl"));
    rig.Click("CommandSavePal");
    EXPECT_TRUE(rig.errors.messages.empty()) << rig.errors.messages[0];
    const Bytes window = ReadBytes(dir_.File(std::string("window") + ext_));
    ASSERT_FALSE(window.empty());
    EXPECT_TRUE(window == ReadBytes(dir_.File(std::string("cli") + ext_))) << script;
    EXPECT_EQ(ReadBytes(dir_.File("window.gpl")), ReadBytes(dir_.File("cli.gpl")));
    // The picture window paints the saved picture pixel for pixel; the board is the palette.
    auto pic = LoadPictureFile(dir_.File(std::string("window") + ext_));
    auto pal = LoadAnyPaletteFile(dir_.File("window.gpl"));
    ASSERT_TRUE(pic && pal);
    const QImage shown = rig.form.picture_window()->View()->grab().toImage();
    ASSERT_EQ(shown.size(), QSize(kWidth, kHeight));
    int wrong = 0;
    for (int k = 0; k < kWidth * kHeight; ++k) {
      const BoardEntry& saved = pic->entries[pic->pixels[size_t(k)]];  // see-through: a blend
      wrong += saved.A == 255 &&
               (shown.pixel(k % kWidth, k / kWidth) & 0xFFFFFF) != (Rgb(saved.rgb) & 0xFFFFFF);
    }
    EXPECT_EQ(wrong, 0) << "pixels shown unlike the saved picture";
    // (Swatches carry lock and target marks: their colours as the board shows them.)
    const Palette swatches = rig.BoardColours();
    for (size_t i = 0; i < 256; ++i) ASSERT_EQ(swatches[i], pal->entries[i].rgb) << "swatch " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, WindowAndEdit,
                         ::testing::Values(Case{1, false}, Case{2, true}, Case{3, false, true},
                                           Case{4, true, true}, Case{5, false}, Case{6, true}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

}  // namespace
}  // namespace hw::test
