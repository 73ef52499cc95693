// The palette files people exchange: Adobe swatch exchange (.ase) and colour
// swatches (.aco), Paint.NET text, GIMP RGBA palettes and PNG strips, built here
// byte by byte (the strips by Pillow), with their names; every writer's output read
// back; the channel conversions at their edges.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "../common/test_util.h"
#include "formats/palettes/palette_common.h"
#include "formats/palettes/palette_files.h"
#include "formats/save_losses.h"

namespace hw::test {
namespace {

namespace pf = palette_files;

// Big-endian bytes, as the Adobe formats hold them.
struct Be {
  Bytes b;
  Be& u16(uint32_t v) { return b.push_back(uint8_t(v >> 8)), b.push_back(uint8_t(v)), *this; }
  Be& u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
  Be& f32(float v) { return u32(std::bit_cast<uint32_t>(v)); }
  Be& text(std::string_view s) { return b.insert(b.end(), s.begin(), s.end()), *this; }
  Be& add(const Bytes& more) { return b.insert(b.end(), more.begin(), more.end()), *this; }
  // UTF-16 units and a terminating zero, after their count (16 or 32 bits).
  Be& name(std::u16string_view s, bool count32) {
    count32 ? u32(uint32_t(s.size() + 1)) : u16(uint32_t(s.size() + 1));
    for (char16_t c : s) u16(c);
    return u16(0);
  }
};

Bytes AseBlock(uint16_t type, const Bytes& data) {
  return Be().u16(type).u32(uint32_t(data.size())).add(data).b;
}

Bytes AseColour(std::u16string_view name, std::string_view model, std::vector<float> values) {
  Be data;
  data.name(name, false).text(model);
  for (float v : values) data.f32(v);
  return AseBlock(0x0001, data.u16(2).b);
}

Bytes Ase(const std::vector<Bytes>& blocks) {
  Be f;
  f.text("ASEF").u16(1).u16(0).u32(uint32_t(blocks.size()));
  for (const Bytes& block : blocks) f.add(block);
  return f.b;
}

std::string Decoded(const Bytes& bytes, const std::string& name) {
  auto r = DecodePaletteFile(bytes, name);
  return r ? "decoded" : r.error().Text();
}

BoardEntry Rgba(int r, int g, int b, int a = 255) {
  return {{uint8_t(r), uint8_t(g), uint8_t(b)}, uint8_t(a)};
}

TEST(PaletteExchange, SwatchExchangeGivesColoursAndNamesAcrossGroups) {
  // 40 entries, the first 20 in a group, RGB and Gray, names with an umlaut and a
  // character outside the basic plane.
  std::vector<Bytes> blocks{AseBlock(0xC001, Be().name(u"Warm", false).b)};
  for (int k = 0; k < 40; ++k) {
    std::u16string name = u"Sw\u00e4tch " + std::u16string(1, char16_t(u'A' + k % 26));
    if (k == 7) name = u"Star \U0001F31F";
    if (k % 4 == 3) {
      blocks.push_back(AseColour(name, "Gray", {k / 39.0f}));
    } else {
      blocks.push_back(AseColour(name, "RGB ", {k / 255.0f, 1.0f - k / 255.0f, 0.5f}));
    }
    if (k == 19) blocks.push_back(AseBlock(0xC002, {}));
  }
  auto pal = DecodePaletteFile(Ase(blocks), "sw.ase");
  ASSERT_TRUE(pal) << pal.error().Text();
  EXPECT_EQ(pal->count, 40);
  EXPECT_EQ(pal->format, PaletteFormat::Ase);
  ASSERT_TRUE(pal->names);
  EXPECT_EQ(pal->entries[0], Rgba(0, 255, 128));
  EXPECT_EQ(pal->entries[38], Rgba(38, 217, 128));
  const int grey = static_cast<int>(std::floor(39 / 39.0 * 255 + 0.5));
  EXPECT_EQ(pal->entries[39], Rgba(grey, grey, grey));
  EXPECT_EQ(pal->entries[3], Rgba(20, 20, 20));  // floor(3 / 39 * 255 + 0.5)
  EXPECT_EQ((*pal->names)[1], "Sw\u00e4tch B");
  EXPECT_EQ((*pal->names)[7], "Star \U0001F31F");
  EXPECT_EQ(pal->entries[40], BoardEntry{});
}

TEST(PaletteExchange, SwatchExchangeRefusalsNameTheEntryAndTheByte) {
  const Bytes lab = Ase({AseColour(u"a", "RGB ", {0, 0, 0}), AseColour(u"Sea", "LAB ", {1, 0, 0})});
  EXPECT_EQ(Decoded(lab, "x.ase"),
            "cannot load 'x.ase': byte 58: entry 2 'Sea' is a LAB colour; only RGB and Gray "
            "colours are read");
  const Bytes cmyk = Ase({AseColour(u"", "CMYK", {0, 0, 0, 1})});
  EXPECT_HAS(Decoded(cmyk, "x.ase"), "entry 1 is a CMYK colour");
  Bytes cut = Ase({AseColour(u"a", "RGB ", {0, 0, 0})});
  cut.pop_back();
  EXPECT_HAS(Decoded(cut, "x.ase"),
             "cannot load 'x.ase': byte 12: block 1 of 24 bytes runs past the end");
  Bytes nan = Ase({AseColour(u"n", "RGB ", {0, std::numeric_limits<float>::quiet_NaN(), 0})});
  EXPECT_HAS(Decoded(nan, "x.ase"), "entry 1 'n': a colour value is not a number");
  Bytes more = Ase({AseColour(u"a", "RGB ", {0, 0, 0})});
  more[11] = 2;  // two blocks stated, one there
  EXPECT_HAS(Decoded(more, "x.ase"), "states 2 blocks but ends after 1");
}

// Entry k of the 200: RGB (k, 255 - k, 3k) in 16 bits, HSB grey of brightness k, or
// grey 0..10000 at either end.
Bytes AcoSection(int version, int count, bool black) {
  Be s;
  s.u16(uint32_t(version)).u16(uint32_t(count));
  for (int k = 0; k < count; ++k) {
    if (black) {
      s.u16(0).u16(0).u16(0).u16(0).u16(0);
    } else if (k % 3 == 0) {
      s.u16(0).u16(k * 257).u16((255 - k) * 257).u16((3 * k % 256) * 257).u16(0);
    } else if (k % 3 == 1) {
      s.u16(1).u16(12345).u16(0).u16(k * 257).u16(0);
    } else {
      s.u16(8).u16(k % 2 ? 10000 : 0).u16(0).u16(0).u16(0);
    }
    if (version == 2) s.name(k % 5 ? u"c" + std::u16string(1, char16_t(u'0' + k % 10)) : u"", true);
  }
  return s.b;
}

void ExpectAco200(const PaletteFile& pal) {
  EXPECT_EQ(pal.count, 200);
  for (int k = 0; k < 200; ++k) {
    const int grey = k % 3 == 1 ? k : k % 2 ? 255 : 0;
    const BoardEntry want = k % 3 == 0 ? Rgba(k, 255 - k, 3 * k % 256) : Rgba(grey, grey, grey);
    ASSERT_EQ(pal.entries[size_t(k)], want) << "entry " << k;
  }
}

TEST(PaletteExchange, ColourSwatchesVersionOneAndBothTakingVersionTwo) {
  auto v1 = DecodePaletteFile(AcoSection(1, 200, false), "c.aco");
  ASSERT_TRUE(v1) << v1.error().Text();
  ExpectAco200(*v1);
  EXPECT_FALSE(v1->names);
  // Both sections: the version 1 colours are black here, so only version 2 can pass.
  Be both;
  both.add(AcoSection(1, 200, true)).add(AcoSection(2, 200, false));
  auto v2 = DecodePaletteFile(both.b, "c.aco");
  ASSERT_TRUE(v2) << v2.error().Text();
  ExpectAco200(*v2);
  ASSERT_TRUE(v2->names);
  EXPECT_EQ((*v2->names)[0], "");
  EXPECT_EQ((*v2->names)[13], "c3");
}

TEST(PaletteExchange, ColourSwatchRefusalsNameTheEntryAndTheByte) {
  Be cmyk;
  cmyk.u16(2).u16(2).u16(0).u16(0).u16(0).u16(0).u16(0).name(u"", true);
  cmyk.u16(2).u16(0).u16(0).u16(0).u16(0).name(u"Ink", true);
  EXPECT_EQ(Decoded(cmyk.b, "c.aco"),
            "cannot load 'c.aco': byte 20: entry 2 'Ink' is a CMYK colour; only RGB, HSB and grey "
            "colours are "
            "read");
  Bytes lab = AcoSection(1, 3, false);
  lab[15] = 7;  // entry 2's colour space
  EXPECT_HAS(Decoded(lab, "c.aco"), "byte 14: entry 2 is a Lab colour");
  // A version 1 section names nothing: its Lab colour is refused by the name the
  // version 2 section after it gives, at that section's byte.
  Be named;
  named.u16(1).u16(2).u16(0).u16(0).u16(0).u16(0).u16(0).u16(7).u16(0).u16(0).u16(0).u16(0);
  named.u16(2).u16(2).u16(0).u16(0).u16(0).u16(0).u16(0).name(u"", true);
  named.u16(7).u16(0).u16(0).u16(0).u16(0).name(u"Sea", true);
  EXPECT_EQ(Decoded(named.b, "c.aco"),
            "cannot load 'c.aco': byte 44: entry 2 'Sea' is a Lab colour; only RGB, HSB and grey "
            "colours are "
            "read");
  Be one;
  one.add(AcoSection(1, 3, false)).add(AcoSection(2, 1, false));
  EXPECT_HAS(Decoded(one.b, "c.aco"), "version 2 section holds 1 colour, the");
  Be disagree;
  disagree.add(AcoSection(1, 3, false)).add(AcoSection(2, 2, false));
  EXPECT_HAS(Decoded(disagree.b, "c.aco"), "version 2 section holds 2 colours");
  Bytes long_name = AcoSection(2, 1, false);
  long_name[17] = 0x7F;  // the name's length
  EXPECT_HAS(Decoded(long_name, "c.aco"), "runs past the end of the file");
  EXPECT_HAS(Decoded(Be().u16(1).u16(300).b, "c.aco"), "300 colours, more than 256");
}

TEST(PaletteExchange, PaintNetTextKeepsAlphaAndSkipsComments) {
  std::string text = "; paint.net Palette File\r\n; Colors: 96\r\n";
  for (int k = 0; k < 96; ++k) {
    char line[16];
    std::snprintf(line, sizeof line, "%02X%02x%02X%02X\r\n", 255 - k, k, 2 * k, 3 * k % 256);
    text += line;
    if (k == 50) text += "\r\n;a comment in the middle\r\n";
  }
  const Bytes bytes(text.begin(), text.end());
  for (const char* name : {"p.txt", "p.bin"}) {  // told by its first line, else its name
    auto pal = DecodePaletteFile(bytes, name);
    ASSERT_TRUE(pal) << pal.error().Text();
    EXPECT_EQ(pal->count, 96);
    EXPECT_EQ(pal->format, PaletteFormat::PaintNet);
    EXPECT_EQ(pal->entries[0], Rgba(0, 0, 0, 255));
    EXPECT_EQ(pal->entries[95], Rgba(95, 190, 285 % 256, 160));
  }
  const std::string bad = "\nFF00FF00\nFF00FF0\n";  // starting with the byte a PCX starts with
  EXPECT_EQ(Decoded(Bytes(bad.begin(), bad.end()), "p.txt"),
            "cannot load 'p.txt': line 3: expected eight hex digits (aarrggbb), found 7");
}

TEST(PaletteExchange, GimpRgbaPaletteKeepsAlphaAndNames) {
  const std::string text =
      "GIMP Palette\nName: t\nChannels: RGBA\n#\n"
      "10 20 30 40\tDeep Sea\n1 2 3 255 Index 1\n255 255 255 0\n";
  auto pal = DecodePaletteFile(Bytes(text.begin(), text.end()), "t.gpl");
  ASSERT_TRUE(pal) << pal.error().Text();
  EXPECT_EQ(pal->count, 3);
  EXPECT_EQ(pal->entries[0], Rgba(10, 20, 30, 40));
  EXPECT_EQ(pal->entries[2], Rgba(255, 255, 255, 0));
  ASSERT_TRUE(pal->names);
  EXPECT_EQ((*pal->names)[0], "Deep Sea");
  EXPECT_EQ((*pal->names)[1], "");  // our own "Index k" is no name
  const std::string bad = "GIMP Palette\nChannels: RGBA\n1 2 3 256 x\n";
  EXPECT_EQ(Decoded(Bytes(bad.begin(), bad.end()), "t.gpl"),
            "cannot load 't.gpl': line 3: alpha 256 is outside 0..255");
}

// Pillow writes a strip of `count` colours, each `scale` pixels square.
Bytes PillowStrip(const TempDir& dir, int count, int scale, const char* mode) {
  const std::string py = NeedTool("python3", "python3-pil");
  if (py.empty()) return {};
  const std::string path = dir.File("strip.png");
  const std::string script =
      "from PIL import Image\n"
      "n, s, mode = " +
      std::to_string(count) + ", " + std::to_string(scale) + ", '" + mode +
      "'\n"
      "im = Image.new(mode, (n, 1))\n"
      "for k in range(n):\n"
      "    c = ((k * 37) % 256, (k // 256) * 64 + k % 7, (k * 13 + 5) % 256, 255 - k % 256)\n"
      "    im.putpixel((k, 0), c[:len(mode)])\n"
      "im.resize((n * s, s), Image.NEAREST).save('" +
      path + "')\n";
  std::string out;
  EXPECT_EQ(RunShell(py + " -c \"" + script + "\"", &out), 0) << out;
  return ReadBytes(path);
}

TEST(PaletteExchange, TrueColourStripsGiveTheirColoursInReadingOrder) {
  TempDir dir;
  for (const auto& [scale, mode] : {std::pair{1, "RGB"}, std::pair{32, "RGBA"}}) {
    SCOPED_TRACE(scale);
    auto pal = DecodePaletteFile(PillowStrip(dir, 40, scale, mode), "s.png");
    ASSERT_TRUE(pal) << pal.error().Text();
    ASSERT_EQ(pal->count, 40);
    for (int k = 0; k < 40; ++k) {
      const int alpha = std::string(mode) == "RGBA" ? 255 - k : 255;
      ASSERT_EQ(pal->entries[size_t(k)], Rgba(k * 37 % 256, k % 7, (k * 13 + 5) % 256, alpha));
    }
  }
  const std::string refusal = Decoded(PillowStrip(dir, 512, 1, "RGB"), "s.png");
  EXPECT_HAS(refusal, "cannot load 's.png': the PNG picture has more than 256 colours") << refusal;
}

TEST(PaletteExchange, RandomBytesAreRefusedUnderEveryName) {
  std::mt19937 random(23);
  Bytes noise(2048);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  for (const char* name : {"r.bin", "r.ase", "r.aco", "r.txt", "r.gpl", "r.png", "r.act"}) {
    auto pal = DecodePaletteFile(noise, name);
    ASSERT_FALSE(pal) << name;
    EXPECT_EQ(pal.error().file, name) << pal.error().Text();
  }
}

// What a writer's output reads back as must be the entries and names, except for
// exactly what PaletteSaveLoses says the format drops.
TEST(PaletteExchange, EveryWriterReadsBackWhatItKeeps) {
  BoardEntries entries{};
  EntryNames names;
  for (size_t k = 0; k < 256; ++k) {
    entries[k] = Rgba(int(k), int(255 - k), int(k * 7 % 256), k % 9 == 0 ? int(k / 2) : 255);
    if (k % 3 == 0) names[k] = "Colour #" + std::to_string(k) + (k == 9 ? " \t line\nbreak" : "");
  }
  for (const char* name : {"w.gpl", "w.pal", "w.act", "w.hex", "w.txt", "w.pcx", "w.png"}) {
    SCOPED_TRACE(name);
    const PaletteFormat format = *PaletteFormatForExtension(name);
    auto back = DecodePaletteFile(EncodePaletteFile(entries, format, &names), name);
    ASSERT_TRUE(back) << back.error().Text();
    EXPECT_EQ(back->count, 256);
    const auto loses = PaletteSaveLoses(format, entries, &names);
    bool alpha_kept = true, names_kept = back->names.has_value();
    for (size_t k = 0; k < 256; ++k) {
      ASSERT_EQ(back->entries[k].rgb, entries[k].rgb);
      alpha_kept = alpha_kept && back->entries[k].A == entries[k].A;
      if (back->names) names_kept = names_kept && (*back->names)[k] == pf::CleanName(names[k]);
    }
    EXPECT_EQ(!loses, alpha_kept && names_kept) << loses.value_or("nothing lost");
    if (format == PaletteFormat::Gpl) {
      EXPECT_EQ((*back->names)[9], "Colour #9   line break");
    }
  }
  // Without names given, a GIMP palette reads back unnamed.
  auto plain = DecodePaletteFile(EncodePaletteFile(entries, PaletteFormat::Gpl), "w.gpl");
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->names);
}

TEST(PaletteExchange, ChannelConversionsAtTheirEdges) {
  EXPECT_EQ(pf::FromUnitFloat(0), 0);
  EXPECT_EQ(pf::FromUnitFloat(1), 255);
  EXPECT_EQ(pf::FromUnitFloat(0.5), 128);  // 127.5 rounds up
  EXPECT_EQ(pf::FromUnitFloat(1.4999 / 255), 1);
  EXPECT_EQ(pf::FromUnitFloat(-3), 0);
  EXPECT_EQ(pf::FromUnitFloat(7), 255);
  EXPECT_EQ(pf::FromUnitFloat(std::numeric_limits<double>::infinity()), 255);
  EXPECT_EQ(pf::From16Bit(0), 0);
  EXPECT_EQ(pf::From16Bit(128), 0);  // 128 * 255 + 32767 < 65535
  EXPECT_EQ(pf::From16Bit(129), 1);
  EXPECT_EQ(pf::From16Bit(65535), 255);
  EXPECT_EQ(pf::FromGrey10000(0), 0);
  EXPECT_EQ(pf::FromGrey10000(19), 0);
  EXPECT_EQ(pf::FromGrey10000(20), 1);
  EXPECT_EQ(pf::FromGrey10000(10000), 255);
  EXPECT_EQ(pf::FromGrey10000(65535), 255);
  EXPECT_EQ(pf::FromHsb16(0, 65535, 65535), (RGBTriple{255, 0, 0}));
  EXPECT_EQ(pf::FromHsb16(21845, 65535, 65535), (RGBTriple{0, 255, 0}));  // 119.997 degrees
  EXPECT_EQ(pf::FromHsb16(32768, 65535, 65535), (RGBTriple{0, 255, 255}));
  EXPECT_EQ(pf::FromHsb16(60000, 0, 32768), (RGBTriple{128, 128, 128}));
  EXPECT_EQ(pf::FromHsb16(65535, 65535, 65535), (RGBTriple{255, 0, 0}));  // just short of 360
}

}  // namespace
}  // namespace hw::test
