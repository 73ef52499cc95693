// Colour accessors, RGB <-> HSV conversion and the linear blends. Products are
// formed in 32-bit integers, quotients in double precision, and every fractional
// result is rounded half to even, except the rising ramp of HSVToRGB, which
// rounds halves up.
#include "colour/colour.h"

#include <cmath>

namespace hw {

namespace {

uint8_t ClampByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

int16_t ClampShort(int32_t v) {
  return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

// One channel of a linear blend: round(position * (to - from) / span + from).
int32_t BlendChannel(int32_t from, int32_t to, int32_t position, int32_t span) {
  // 64-bit so that even inputs far outside the channel range cannot overflow.
  const int64_t product = static_cast<int64_t>(position) * (to - from);
  return RoundHalfEven(static_cast<double>(product) / span + from);
}

}  // namespace

uint8_t GetRed(PackedColour color) { return static_cast<uint8_t>(color & RedMask); }

uint8_t GetGreen(PackedColour color) {
  return static_cast<uint8_t>((color & GreenMask) / (RedMask + 1));
}

uint8_t GetBlue(PackedColour color) { return static_cast<uint8_t>((color & BlueMask) >> 16); }

RGBTriple GetRGB(PackedColour color) {
  RGBTriple rgb;
  rgb.R = GetRed(color);
  rgb.G = GetGreen(color);
  rgb.B = GetBlue(color);
  return rgb;
}

PackedColour PackRGB(const RGBTriple& rgb) {
  return static_cast<PackedColour>(rgb.R) + 256 * static_cast<PackedColour>(rgb.G) +
         65536 * static_cast<PackedColour>(rgb.B);
}

int32_t RoundHalfEven(double value) {
  // Saturate instead of invoking undefined behaviour on values no caller within
  // its limits produces; NaN becomes 0.
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  const double lower = std::floor(value);
  const double frac = value - lower;
  int64_t r = static_cast<int64_t>(lower);
  if (frac > 0.5 || (frac == 0.5 && (r & 1) != 0)) ++r;
  return static_cast<int32_t>(r);
}

void RGBToHSV(const RGBTriple& rgb, HSVTriple& result) {
  const int32_t r = rgb.R, g = rgb.G, b = rgb.B;
  const int32_t max = MaxOf(b, MaxOf(r, g));
  const int32_t min = MinOf(b, MinOf(r, g));
  int16_t s = 0;
  if (max != 0)
    s = static_cast<int16_t>(RoundHalfEven(static_cast<double>((max - min) * 255) / max));

  int32_t h = 0;
  if (s != 0) {
    const double delta = max - min;
    if (r == max) h = RoundHalfEven(static_cast<double>((g - b) * 256) / delta);
    if (g == max) h = RoundHalfEven(static_cast<double>((b - r) * 256) / delta + 512);
    if (b == max) h = RoundHalfEven(static_cast<double>((r - g) * 256) / delta + 1024);
  }
  if (h < 0) h += 1536;

  result.V = static_cast<int16_t>(max);
  result.S = s;
  result.H = static_cast<int16_t>(RoundHalfEven(h / 2.0));
}

void HSVToRGB(const HSVTriple& hsv, RGBTriple& result) {
  // Saturation and value outside 0..255 are held to that range so every channel
  // stays a valid byte.
  const int32_t s = MinOf(MaxOf<int32_t>(hsv.S, 0), 255);
  const int32_t v = MinOf(MaxOf<int32_t>(hsv.V, 0), 255);
  if (s == 0) {
    result.R = result.G = result.B = static_cast<uint8_t>(v);
    return;
  }

  int32_t h = hsv.H % 768;
  if (h < 0) h += 768;
  const int32_t sector = h / 128;
  const int32_t f = h % 128;

  const int32_t p = RoundHalfEven(static_cast<double>((255 - s) * v) / 255.0);
  const int32_t q = RoundHalfEven(static_cast<double>((32640 - f * s) * v) / 32640.0);
  const int32_t x = (32640 - s * (128 - f)) * v;  // never negative for s <= 255
  const int32_t u = x / 32640 + (x % 32640 >= 16320 ? 1 : 0);

  int32_t r = 0, g = 0, b = 0;
  switch (sector) {
    case 0:
      r = v;
      g = u;
      b = p;
      break;
    case 1:
      r = q;
      g = v;
      b = p;
      break;
    case 2:
      r = p;
      g = v;
      b = u;
      break;
    case 3:
      r = p;
      g = q;
      b = v;
      break;
    case 4:
      r = u;
      g = p;
      b = v;
      break;
    default:
      r = v;
      g = p;
      b = q;
      break;
  }
  result.R = ClampByte(r);
  result.G = ClampByte(g);
  result.B = ClampByte(b);
}

void BlendRGB(const RGBTriple& from, const RGBTriple& to, RGBTriple& result, int16_t position,
              int16_t span) {
  if (span == 0) {  // no gradient to speak of: keep the start colour
    result = from;
    return;
  }
  // Each channel is computed in full before anything is stored, so result may
  // alias from or to.
  const int32_t r = BlendChannel(from.R, to.R, position, span);
  const int32_t g = BlendChannel(from.G, to.G, position, span);
  const int32_t b = BlendChannel(from.B, to.B, position, span);
  result.R = ClampByte(r);
  result.G = ClampByte(g);
  result.B = ClampByte(b);
}

void BlendHSV(const HSVTriple& from, const HSVTriple& to, HSVTriple& result, int16_t position,
              int16_t span, int16_t direction) {
  if (span == 0) {
    result = from;
    return;
  }
  // Forward runs the hue numerically from one end to the other. Reverse goes
  // round the circle the other way: the same end hue modulo 768, reached by the
  // complementary arc, so every hue in between stays within -768..1536 and one
  // wrap brings it back into 0..768.
  int32_t d = static_cast<int32_t>(to.H) - from.H;
  if (direction <= 0) {
    if (d > 0) {
      d -= 768;
    } else if (d < 0) {
      d += 768;
    }
  }
  int32_t h =
      RoundHalfEven(static_cast<double>(static_cast<int64_t>(position) * d) / span + from.H);
  if (h > 768) h -= 768;
  if (h < 0) h += 768;
  const int32_t s = BlendChannel(from.S, to.S, position, span);
  const int32_t v = BlendChannel(from.V, to.V, position, span);
  result.H = ClampShort(h);
  result.S = ClampShort(s);
  result.V = ClampShort(v);
}

}  // namespace hw
