// What a save keeps of the file it came from, and what it says it drops: frames of
// Pillow's animations through the window's saves, convert, edit in place and
// cycle-gif; PNG colour-space, background, histogram, bit-count and time chunks
// after a reverse, against a model and Pillow; ILBM chunks read back by netpbm's
// ilbmtoppm; GIF comments read back by Pillow; metadata named when the format
// changes.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sstream>

#include "../common/test_util.h"
#include "../editor/editor_fakes.h"
#include "formats/pictures/cycle_chunk.h"

namespace hw::test {
namespace {

using Outcome = CliOutcome;

Bytes Raw(const std::string& s) { return {s.begin(), s.end()}; }

uint32_t Be32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

class Keep : public ::testing::Test {
 protected:
  void SetUp() override { py_ = NeedTool("python3", "python3-pil"); }
  Outcome Cli(const std::vector<std::string>& args) const {
    Outcome r = RunCli(dir_, args);
    last_stdout_ = Text(r.out);
    return r;
  }
  // Runs a Python script with Pillow on the arguments; its standard output.
  std::string Python(const std::string& script, const std::vector<std::string>& args) const {
    WriteBytes(dir_.File("script.py"), Raw(script));
    std::string cmd = py_ + " " + ShellQuote(dir_.File("script.py"));
    for (const auto& a : args) cmd += " " + ShellQuote(a);
    std::string out;
    EXPECT_EQ(RunShell(cmd, &out), 0) << out;
    return out;
  }
  std::string At(const std::string& name) const { return dir_.File(name); }

  TempDir dir_;
  std::string py_;
  mutable std::string last_stdout_;
};

// Four frames of 12 x 8 over 16 colours, each frame its own pixels and delay.
constexpr const char* kMakeFrames = R"(import sys
from PIL import Image
frames = []
for k in range(4):
    im = Image.new("P", (12, 8))
    im.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 16, i * 7)] + [0] * 720)
    im.putdata([(x + 2 * y + 5 * k) % 16 for y in range(8) for x in range(12)])
    frames.append(im)
frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:],
               duration=[100, 120, 140, 160], loop=0)
)";

// The frame count and the first frame's colours, pixel by pixel, as Pillow sees them.
constexpr const char* kLooks = R"(import sys
from PIL import Image
im = Image.open(sys.argv[1])
n = getattr(im, "n_frames", 1)
im.seek(0)
rgb = im.convert("RGB")
print(n, rgb.tobytes().hex())
)";

// An animation of frames of several sizes, places, delays and disposals, as Pillow
// writes it and as gifsicle -O2 rewrites it; for each, the loop and frames as
// Pillow reads them, in info's words.
constexpr const char* kTimedFrames = R"(import json, subprocess, sys
from PIL import Image
frames = []
for k in range(4):
    im = Image.new("P", (40, 30))
    im.putpalette([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255] + [0] * 756)
    im.putdata([1 + k % 3 if 10 * k <= x < 10 * k + 10 else 0 for y in range(30) for x in range(40)])
    frames.append(im)
a, b, c = (sys.argv[1] + n for n in ("/a.gif", "/b.gif", "/c.gif"))
frames[0].save(a, save_all=True, append_images=frames[1:], duration=[100, 200, 50, 0], loop=3,
               disposal=[0, 1, 2, 3])
frames[0].save(b, save_all=True, append_images=frames[1:], duration=70)
subprocess.run(["gifsicle", "-O2", "--loopcount=forever", a, "-o", c], check=True)
names = ["unspecified", "none", "background", "previous"]
for path in (a, b, c):
    im = Image.open(path)
    loop = im.info.get("loop")
    out = []
    for k in range(im.n_frames):
        im.seek(k)
        x0, y0, x1, y1 = im.tile[0][1] if im.tile else im.dispose_extent
        out.append({"x": x0, "y": y0, "width": x1 - x0, "height": y1 - y0,
                    "delay_ms": im.info.get("duration", 0), "dispose": names[im.disposal_method]})
    print(path, 1 if loop is None else 0 if loop == 0 else loop + 1,
          json.dumps(out, separators=(",", ":")))
)";

TEST_F(Keep, InfoGivesEachFramesPlaceDelayAndDisposalAndTheLoop) {
  if (py_.empty() || NeedTool("gifsicle", "gifsicle").empty()) return;
  std::istringstream expected(Python(kTimedFrames, {dir_.Path()}));
  std::string path, frames;
  int plays = -1, files = 0;
  while (expected >> path >> plays >> frames) {
    SCOPED_TRACE(path);
    ++files;
    ASSERT_EQ(Cli({"info", path}).code, 0);
    EXPECT_HAS(last_stdout_, "\"frames\":4,\"loop\":" + std::to_string(plays) +
                                 ",\"frame_list\":" + frames + ",\"cycles\":[]}");
  }
  EXPECT_EQ(files, 3);
}

TEST_F(Keep, EverySaveOfAnAnimationSaysTheOtherFramesAreLost) {
  if (py_.empty()) return;
  for (const std::string ext : {".gif", ".png"}) {
    SCOPED_TRACE(ext);
    const std::string anim = At("anim" + ext);
    Python(kMakeFrames, {anim});
    const std::string first = Python(kLooks, {anim});
    ASSERT_EQ(first.substr(0, 2), "4 ");
    const std::string still = "1" + first.substr(1);
    const std::string lost = "the other 3 frames, their delays and the loop are lost";

    ASSERT_EQ(Cli({"info", anim}).code, 0);
    EXPECT_HAS(last_stdout_, "\",\"frames\":4,");

    for (const std::string out_ext : {".png", ".gif", ".bmp", ".iff", ".pcx"}) {
      const std::string out = At("converted" + out_ext);
      const Outcome converted = Cli({"convert", anim, out});
      EXPECT_EQ(converted.code, 0) << converted.err;
      EXPECT_HAS(converted.err, "warning: '" + out + "': " + lost + "\n");
      if (out_ext != ".iff" && out_ext != ".pcx") {
        EXPECT_EQ(Python(kLooks, {out}), still);
      }
      ASSERT_EQ(Cli({"info", out}).code, 0);
      EXPECT_HAS(last_stdout_, "\"frames\":1,");
    }

    // In place: the file becomes a valid still picture of the first frame.
    const std::string copy = At("copy" + ext);
    std::filesystem::copy_file(anim, copy);
    const Outcome edited = Cli({"edit", copy, copy, "reverse:0-15"});
    EXPECT_EQ(edited.code, 0) << edited.err;
    EXPECT_EQ(edited.err, "warning: '" + copy + "': " + lost + "\n");
    EXPECT_EQ(Python(kLooks, {copy}), still);

    // The cycling animation shows the first frame only: an APNG given a range.
    if (ext == ".png") {
      Bytes ranged = ReadBytes(anim);
      CycleRanges ranges;
      ranges.push_back(CycleRange{0, 15, 8192, false, true});
      InsertCycleChunk(ranged, ranges);
      WriteBytes(At("ranged.png"), ranged);
      const Outcome cycled = Cli({"cycle-gif", At("ranged.png"), At("cycle.gif")});
      EXPECT_EQ(cycled.code, 0) << cycled.err;
      EXPECT_EQ(cycled.err, "warning: '" + At("cycle.gif") + "': " + lost + "\n");
    }

    // The window: the status line, then the question before every save.
    Rig r;
    FakeLossQuestion question;
    r.commands.SetQuestions(&question);
    const std::string mine = At("mine" + ext);
    std::filesystem::copy_file(anim, mine);
    r.Load(mine);
    EXPECT_EQ(r.ed.Message(), "4 frames: only the first is shown and edited");
    question.answers = {false, true};
    r.files.saves = {At("as.bmp")};
    EXPECT_FALSE(r.commands.SavePicture());  // cancelled: nothing written
    EXPECT_FALSE(std::filesystem::exists(At("as.bmp")));
    EXPECT_TRUE(r.commands.SavePictureToItsFile());
    EXPECT_EQ(question.asked,
              (std::vector<std::string>{At("as.bmp") + ": " + mine + " has 4 frames",
                                        mine + ": " + mine + " has 4 frames"}));
    EXPECT_EQ(Python(kLooks, {mine}), still);
    // Its file now holds one frame: nothing more to lose.
    EXPECT_TRUE(r.commands.SavePictureToItsFile());
    EXPECT_EQ(question.asked.size(), 2u);
    // Work restored after a crash is the original's: its frames still count.
    ASSERT_TRUE(r.ed.WriteCopy(At("copy-of-work.png")).ok());
    ASSERT_TRUE(r.ed.RestorePicture(At("copy-of-work.png"), anim));
    EXPECT_EQ(r.ed.Message(), "4 frames: only the first is shown and edited");
    EXPECT_FALSE(r.commands.SavePictureToItsFile());  // no answer left: cancelled
    EXPECT_EQ(question.asked.back(), anim + ": " + anim + " has 4 frames");
    EXPECT_EQ(Python(kLooks, {anim}).substr(0, 2), "4 ");
  }
}

// A Pillow PNG of 200 x 150 over 32 entries with a profile and text, given the other
// chunks a palette edit leaves true, and one that is not safe to copy.
constexpr const char* kMakePng = R"(import sys
from PIL import Image, ImageCms, PngImagePlugin
im = Image.new("P", (200, 150))
pal = [v for i in range(16) for v in (i * 17, 255 - i * 17, (i * 3) % 16 * 17)]
pal += [0, 0, 0] * 16
im.putpalette(pal)
px = [5] * 26214 + [9]
i = 0
while len(px) < 200 * 150:
    if i % 16 not in (5, 9, 15): px.append(i % 16)
    i += 1
im.putdata(px)
info = PngImagePlugin.PngInfo()
info.add_text("Title", "kept words")
profile = ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes()
open(sys.argv[2], "wb").write(profile)
im.save(sys.argv[1], icc_profile=profile, pnginfo=info)
)";

constexpr const char* kPngInfo = R"(import sys
from PIL import Image
im = Image.open(sys.argv[1]); im.load()
print(im.info.get("icc_profile") == open(sys.argv[2], "rb").read(), im.info.get("Title"),
      round(im.info.get("gamma", 0), 5))
)";

TEST_F(Keep, PngChunksFollowTheEntriesAfterAReverse) {
  if (py_.empty()) return;
  const std::string made = At("made.png"), icc = At("profile.icc");
  Python(kMakePng, {made, icc});
  std::vector<Chunk> chunks = Chunks(ReadBytes(made));
  ASSERT_EQ(chunks[0].type, "IHDR");
  // gAMA 1/2.2, cHRM, sRGB (which the profile overrides), sBIT 4 4 4 before PLTE;
  // bKGD at entry 20 (black, past the used 16), a stale hIST, sPLT and an old tIME after.
  const Bytes gama = {0, 0, 0xB1, 0x8F};
  Bytes chrm;
  for (uint32_t v : {31270u, 32900u, 64000u, 33000u, 30000u, 60000u, 15000u, 6000u})
    PutBe32(chrm, v);
  std::vector<Chunk> before = {{"gAMA", gama}, {"cHRM", chrm}, {"sRGB", {0}}, {"sBIT", {4, 4, 4}}};
  chunks.insert(chunks.begin() + 1, before.begin(), before.end());
  const auto plte =
      std::find_if(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.type == "PLTE"; });
  ASSERT_NE(plte, chunks.end());
  const std::vector<Chunk> after = {{"bKGD", {20}},
                                    {"hIST", Bytes(64, 1)},
                                    {"sPLT", Raw(std::string("x\0", 2) + "\x08")},
                                    {"tIME", {7, 200, 1, 2, 3, 4, 5}}};
  chunks.insert(plte + 1, after.begin(), after.end());
  const std::string in = At("in.png"), out = At("out.png");
  WriteBytes(in, Assemble(chunks));

  const std::time_t before_save = std::time(nullptr);
  const Outcome edited = Cli({"edit", in, out, "reverse:0-15"});
  const std::time_t after_save = std::time(nullptr);
  EXPECT_EQ(edited.code, 0) << edited.err;
  // Every channel is a multiple of 17, what 4 bits hold: the sBIT stays; the sRGB
  // and the sPLT go.
  EXPECT_EQ(edited.err, "warning: '" + out + "': the PNG chunks sRGB, sPLT: not safe to copy " +
                            "after a palette edit\n");
  const std::vector<Chunk> written = Chunks(ReadBytes(out));
  std::vector<std::string> types;
  for (const Chunk& c : written) types.push_back(c.type);
  // Pillow wrote its text before PLTE: it stays there.
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "gAMA", "cHRM", "iCCP", "sBIT", "tEXt", "PLTE",
                                             "bKGD", "hIST", "IDAT", "tIME", "IEND"}));
  const auto data = [&](const std::string& type) {
    for (const Chunk& c : written) {
      if (c.type == type) return c.data;
    }
    return Bytes{};
  };
  EXPECT_EQ(data("gAMA"), gama);
  EXPECT_EQ(data("cHRM"), chrm);
  EXPECT_EQ(data("sBIT"), (Bytes{4, 4, 4}));
  // The model: position k holds what 15 - k held; entry 20 stays where it is and the
  // palette grows to hold it.
  EXPECT_EQ(data("PLTE").size(), 21u * 3);
  EXPECT_EQ(data("bKGD"), Bytes{20});
  std::array<uint64_t, 21> usage{};
  usage[15 - 5] = 26214;
  usage[15 - 9] = 1;
  const uint64_t rest = 200 * 150 - 26215;
  for (int k = 0, n = 0; n < int(rest); ++k) {
    if (k % 16 != 5 && k % 16 != 9 && k % 16 != 15) ++usage[size_t(15 - k % 16)], ++n;
  }
  Bytes hist;
  for (uint64_t n : usage) {
    const uint64_t v = n == 0 ? 0 : std::max<uint64_t>(1, uint64_t(65535.0 * n / 26214 + 0.5));
    hist.push_back(uint8_t(v >> 8));
    hist.push_back(uint8_t(v));
  }
  EXPECT_EQ(data("hIST"), hist);
  EXPECT_EQ(Be32(data("hIST"), 0) >> 16, 0u);        // position 0 held 15, which no pixel used
  EXPECT_EQ(hist[2 * 6] << 8 | hist[2 * 6 + 1], 3);  // 65535 / 26214 = 2.5, halves up
  const Bytes t = data("tIME");
  ASSERT_EQ(t.size(), 7u);
  std::tm utc{};
  utc.tm_year = (t[0] << 8 | t[1]) - 1900, utc.tm_mon = t[2] - 1, utc.tm_mday = t[3];
  utc.tm_hour = t[4], utc.tm_min = t[5], utc.tm_sec = t[6];
  const std::time_t saved = timegm(&utc);
  EXPECT_TRUE(saved >= before_save && saved <= after_save) << saved << " " << before_save;
  EXPECT_EQ(Python(kPngInfo, {out, icc}), "True kept words 0.45455\n");

  // A colour off the 4-bit lattice: the sBIT goes, named; other formats name the rest.
  const Outcome off = Cli({"edit", in, At("off.png"), "set:3:#123457"});
  EXPECT_HAS(off.err, "the sBIT chunk: the saved colours do not all fit its bit counts");
  for (const Chunk& c : Chunks(ReadBytes(At("off.png")))) {
    EXPECT_NE(c.type, "sBIT");
  }
  const Outcome gif = Cli({"convert", in, At("out.gif")});
  EXPECT_EQ(gif.err, "warning: '" + At("out.gif") +
                         "': the colour profile (gAMA, cHRM, iCCP): not kept in a GIF file; the "
                         "text (tEXt): not kept in a GIF file; the PNG chunks bKGD, hIST, sBIT, "
                         "sPLT, sRGB, tIME: not kept in a GIF file\n");
}

void PutChunk(Bytes& out, const std::string& id, const Bytes& data) {
  out.insert(out.end(), id.begin(), id.end());
  PutBe32(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
}

TEST_F(Keep, IlbmKeepsItsTextChunksInOrderAndNamesTheOthers) {
  const std::string from_ilbm = NeedTool("ilbmtoppm", "netpbm");
  if (from_ilbm.empty()) return;
  // 10 x 4, 6 planes, extra half-brite: 32 stored colours, 64 shown.
  const int w = 10, h = 4;
  Bytes cmap;
  for (int k = 0; k < 32; ++k) cmap.insert(cmap.end(), {uint8_t(8 * k), uint8_t(250 - 6 * k), 200});
  Bytes px(w * h);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 11 % 64);
  Bytes body;
  for (int y = 0; y < h; ++y) {
    for (int p = 0; p < 6; ++p) {
      uint16_t bits = 0;
      for (int x = 0; x < w; ++x) bits |= ((px[y * w + x] >> p) & 1) << (15 - x);
      body.insert(body.end(), {uint8_t(bits >> 8), uint8_t(bits)});
    }
  }
  Bytes bmhd = {0, uint8_t(w), 0, uint8_t(h), 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 10, 11, 0, 10, 0, 4};
  const std::vector<std::pair<std::string, Bytes>> kept = {
      {"ANNO", Raw("odd 5")}, {"AUTH", Raw("me")},      {"NAME", Raw("picture")},
      {"(c) ", Raw("2026")},  {"DPI ", {0, 72, 0, 72}}, {"GRAB", {0, 1, 0, 2}}};
  const std::vector<std::pair<std::string, Bytes>> dropped = {
      {"TINY", {0, 1, 0, 1, 0}}, {"DEST", Bytes(8, 0)}, {"SPRT", {0, 1}},
      {"DRNG", Bytes(8, 0)},     {"DPPS", Bytes(6, 1)}, {"XYZW", {1}}};
  Bytes form;
  PutChunk(form, "BMHD", bmhd);
  for (size_t k = 0; k < kept.size(); ++k) {
    PutChunk(form, dropped[k].first, dropped[k].second);
    PutChunk(form, kept[k].first, kept[k].second);
    if (k == 1) PutChunk(form, "CMAP", cmap);
    if (k == 2) PutChunk(form, "CAMG", {0, 0, 0x80, 0x84});  // hires, lace, half-brite
  }
  PutChunk(form, "BODY", body);
  Bytes file = Raw("FORM");
  PutBe32(file, uint32_t(form.size() + 4));
  file.insert(file.end(), {'I', 'L', 'B', 'M'});
  file.insert(file.end(), form.begin(), form.end());
  const std::string in = At("in.iff"), out = At("out.iff");
  WriteBytes(in, file);

  const Outcome edited = Cli({"edit", in, out, "reverse:0-63"});
  EXPECT_EQ(edited.code, 0) << edited.err;
  EXPECT_EQ(edited.err, "warning: '" + out + "': the ILBM chunks TINY, DEST, SPRT, DRNG, DPPS, " +
                            "XYZW: they depend on the pixels or the palette's order\n");
  // The written chunks: CAMG without half-brite, the kept ones whole and in order.
  const Bytes back = ReadBytes(out);
  Bytes expected_kept;
  for (const auto& [id, data] : kept) PutChunk(expected_kept, id, data);
  std::vector<std::string> ids;
  size_t at = 12, kept_at = 0;
  while (at + 8 <= back.size()) {
    const std::string id(back.begin() + long(at), back.begin() + long(at) + 4);
    const uint32_t length = Be32(back, at + 4);
    if (id == "CAMG") {
      EXPECT_EQ(Be32(back, at + 8), 0x8004u);
    }
    if (id == "ANNO") kept_at = at;
    ids.push_back(id);
    at += 8 + length + length % 2;
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"BMHD", "CMAP", "CAMG", "ANNO", "AUTH", "NAME", "(c) ",
                                           "DPI ", "GRAB", "BODY"}));
  ASSERT_GT(kept_at, 0u);
  EXPECT_EQ(
      Bytes(back.begin() + long(kept_at), back.begin() + long(kept_at + expected_kept.size())),
      expected_kept);
  // netpbm reads the colours the half-brite picture showed.
  std::string text;
  ASSERT_EQ(RunShell(from_ilbm + " " + ShellQuote(out) + " > " + ShellQuote(At("back.ppm")), &text),
            0)
      << text;
  Bytes rgb;
  for (uint8_t p : px) {
    for (int c = 0; c < 3; ++c) rgb.push_back(uint8_t(cmap[3 * (p % 32) + c] >> (p >= 32 ? 1 : 0)));
  }
  EXPECT_EQ(Tail(ReadBytes(At("back.ppm")), rgb.size()), rgb);

  const Outcome png = Cli({"convert", in, At("out.png")});
  EXPECT_HAS(png.err,
             "the text (ANNO, AUTH, NAME, (c)): not kept in a PNG file; the ILBM "
             "chunks DPI, GRAB: not kept in a PNG file; the ILBM chunks TINY");
}

// Pillow's GIF with a comment, given an application extension and a plain-text one.
constexpr const char* kMakeGif = R"(import sys
from PIL import Image
im = Image.new("P", (9, 5))
im.putpalette([v for i in range(16) for v in (i * 16, 100, 255 - i * 16)])
im.putdata([(x * y) % 16 for y in range(5) for x in range(9)])
im.save(sys.argv[1], comment=b"kept words")
)";

TEST_F(Keep, GifKeepsCommentsAndApplicationExtensions) {
  if (py_.empty()) return;
  const std::string made = At("made.gif");
  Python(kMakeGif, {made});
  Bytes file = ReadBytes(made);
  ASSERT_GE(file.size(), 13u);
  ASSERT_TRUE(file[10] & 0x80);
  const size_t after_table = 13 + (size_t{3} << ((file[10] & 7) + 1));
  Bytes application = {0x21, 0xFF, 11};
  for (char c : std::string("HUEWTEST1.0")) application.push_back(uint8_t(c));
  application.insert(application.end(), {3, 'a', 'b', 'c', 0});
  Bytes plain_text = {0x21, 0x01, 12, 0, 0, 0, 0, 9, 0, 5, 0, 8, 8, 1, 0, 2, 'h', 'i', 0};
  Bytes extra = application;
  extra.insert(extra.end(), plain_text.begin(), plain_text.end());
  file.insert(file.begin() + long(after_table), extra.begin(), extra.end());
  const std::string in = At("in.gif"), out = At("out.gif");
  WriteBytes(in, file);

  const Outcome edited = Cli({"edit", in, out, "reverse:0-15"});
  EXPECT_EQ(edited.code, 0) << edited.err;
  EXPECT_EQ(edited.err, "warning: '" + out +
                            "': 1 plain-text extension: text drawn over the frames is not kept\n");
  const std::string back = Text(ReadBytes(out));
  EXPECT_HAS(back, Text(application));
  EXPECT_EQ(back.find(Text(plain_text)), std::string::npos);
  EXPECT_LT(back.find(Text(application)), back.find('\x2C', back.find(Text(application))));
  EXPECT_EQ(Python("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                   "print(im.info.get('comment'))\n",
                   {out}),
            "b'kept words'\n");
  const Outcome png = Cli({"convert", in, At("out.png")});
  EXPECT_EQ(png.err, "warning: '" + At("out.png") +
                         "': the text (1 comment): not kept in a PNG file; the application "
                         "extensions HUEWTEST1.0: not kept in a PNG file; 1 plain-text "
                         "extension: text drawn over the frames is not kept\n");
}

}  // namespace
}  // namespace hw::test
