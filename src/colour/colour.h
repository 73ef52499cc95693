// Colour representations shared by the whole editor: packed 32-bit colours,
// the 3-byte palette record, the integer HSV record, and conversions between them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace hw {

// A packed colour: red in bits 0..7, green 8..15, blue 16..23. A value of
// kPaletteRef + i refers to entry i of the display palette instead of a colour.
using PackedColour = int32_t;
inline constexpr PackedColour kPaletteRef = 16777216;

inline constexpr int32_t RedMask = 255;
inline constexpr int32_t GreenMask = 65280;
inline constexpr int32_t BlueMask = GreenMask * 256;

struct RGBTriple {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  friend bool operator==(const RGBTriple&, const RGBTriple&) = default;
};
static_assert(sizeof(RGBTriple) == 3);

struct HSVTriple {
  int16_t H = 0;  // 0..768, 128 per 60-degree sector
  int16_t S = 0;  // 0..255
  int16_t V = 0;  // 0..255
  friend bool operator==(const HSVTriple&, const HSVTriple&) = default;
};

// 256 entries, laid out byte for byte like a PCX palette block.
using Palette = std::array<RGBTriple, 256>;
static_assert(sizeof(Palette) == 768);

// One entry of the board: a colour and its opacity (255 opaque, 0 transparent).
// Formats without transparency read and write the colour and leave A at 255.
struct BoardEntry {
  RGBTriple rgb;
  uint8_t A = 255;
  friend bool operator==(const BoardEntry&, const BoardEntry&) = default;
};
using BoardEntries = std::array<BoardEntry, 256>;

// The names of the 256 entries: names[k] for entry k, empty where it has none. A
// name is one line of UTF-8 (the palette readers turn control characters into
// spaces).
using EntryNames = std::array<std::string, 256>;

uint8_t GetRed(PackedColour color);
uint8_t GetGreen(PackedColour color);
uint8_t GetBlue(PackedColour color);
RGBTriple GetRGB(PackedColour color);
PackedColour PackRGB(const RGBTriple& rgb);  // R + 256 G + 65536 B

// On equal values both return the first argument.
template <typename T>
constexpr T MinOf(T a, T b) {
  return b < a ? b : a;
}
template <typename T>
constexpr T MaxOf(T a, T b) {
  return b > a ? b : a;
}

// Rounds half to even, the rounding used by every fractional-to-integer step.
int32_t RoundHalfEven(double value);

void RGBToHSV(const RGBTriple& rgb, HSVTriple& result);
void HSVToRGB(const HSVTriple& hsv, RGBTriple& result);
// Linear blend: position 0 gives from, position span gives to. span must not be 0.
void BlendRGB(const RGBTriple& from, const RGBTriple& to, RGBTriple& result, int16_t position,
              int16_t span);
// HSV blend for the gradient commands; direction > 0 runs the hue numerically from
// from.H to to.H, direction <= 0 runs it round the circle the other way.
void BlendHSV(const HSVTriple& from, const HSVTriple& to, HSVTriple& result, int16_t position,
              int16_t span, int16_t direction);

}  // namespace hw
