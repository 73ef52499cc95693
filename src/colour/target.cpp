#include "colour/target.h"

namespace hw {

namespace {

constexpr TargetPreset kPresets[] = {
    {"none", 8, 8, 8, "None"},
    {"vga", 6, 6, 6, "VGA"},
    {"ocs", 4, 4, 4, "Amiga OCS"},
    {"ste", 4, 4, 4, "Atari STE"},
    {"gamegear", 4, 4, 4, "Game Gear"},
    {"st", 3, 3, 3, "Atari ST"},
    {"megadrive", 3, 3, 3, "Mega Drive"},
    {"sms", 2, 2, 2, "Master System"},
    {"snes", 5, 5, 5, "Super Nintendo"},
    {"gba", 5, 5, 5, "Game Boy Advance"},
    {"gbc", 5, 5, 5, "Game Boy Color"},
};

bool ValidBits(int bits) { return bits >= 1 && bits <= 8; }

// The bits of an evenly spaced channel, or 0 when its levels are spaced otherwise.
int BitsOf(const ChannelLevels& levels) {
  for (int bits = 1; bits <= 8; ++bits) {
    if (levels == EvenLevels(bits)) return bits;
  }
  return 0;
}

}  // namespace

std::span<const TargetPreset> TargetPresets() { return kPresets; }

uint8_t EvenLevel(int bits, int k) {
  const int top = (1 << bits) - 1;
  // k * 255 / top is never exactly halfway (top is odd), so rounding half up is
  // plain rounding.
  return static_cast<uint8_t>((2 * k * 255 + top) / (2 * top));
}

ChannelLevels EvenLevels(int bits) {
  ChannelLevels levels;
  if (!ValidBits(bits)) return levels.set();
  for (int k = 0; k < (1 << bits); ++k) levels.set(EvenLevel(bits, k));
  return levels;
}

ColourTarget EvenTarget(int red_bits, int green_bits, int blue_bits, std::string name) {
  ColourTarget t;
  t.levels = {EvenLevels(red_bits), EvenLevels(green_bits), EvenLevels(blue_bits)};
  t.name = name.empty() ? std::to_string(red_bits) + "-" + std::to_string(green_bits) + "-" +
                              std::to_string(blue_bits)
                        : std::move(name);
  return t;
}

std::optional<ColourTarget> TargetByName(std::string_view text) {
  for (const TargetPreset& p : kPresets) {
    if (text == p.name) return EvenTarget(p.red_bits, p.green_bits, p.blue_bits, p.name);
  }
  // R-G-B: three single digits 1..8.
  if (text.size() == 5 && text[1] == '-' && text[3] == '-') {
    const int r = text[0] - '0', g = text[2] - '0', b = text[4] - '0';
    if (ValidBits(r) && ValidBits(g) && ValidBits(b)) return EvenTarget(r, g, b);
  }
  return std::nullopt;
}

ColourTarget CustomTarget(const std::array<std::vector<uint8_t>, 3>& levels) {
  ColourTarget t;
  for (size_t c = 0; c < 3; ++c) {
    t.levels[c].reset();
    for (uint8_t v : levels[c]) t.levels[c].set(v);
    if (t.levels[c].none()) t.levels[c].set();  // nothing given: the channel is not limited
  }
  t.name = "custom";
  return t;
}

std::optional<std::vector<uint8_t>> ParseLevels(std::string_view text, std::string* why) {
  std::vector<uint8_t> levels;
  if (text.find_first_not_of(" \t") == std::string_view::npos) {
    if (why != nullptr) *why = "no levels given";
    return std::nullopt;
  }
  const auto fail = [why](std::string cause) -> std::optional<std::vector<uint8_t>> {
    if (why != nullptr) *why = std::move(cause);
    return std::nullopt;
  };
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    if (comma == std::string_view::npos) comma = text.size();
    std::string_view item = text.substr(at, comma - at);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    if (item.empty() || item.size() > 3 || item.find_first_not_of("0123456789") != item.npos) {
      return fail("'" + std::string(item.substr(0, 12)) + "' is not a level 0..255");
    }
    int value = 0;
    for (char c : item) value = value * 10 + (c - '0');
    if (value > 255) return fail(std::to_string(value) + " is above 255");
    if (!levels.empty() && value <= levels.back()) {
      return fail("the levels must rise: " + std::to_string(value) + " follows " +
                  std::to_string(levels.back()));
    }
    levels.push_back(static_cast<uint8_t>(value));
    at = comma + 1;
  }
  return levels;
}

std::string LevelsText(const ChannelLevels& levels) {
  std::string text;
  for (int v = 0; v < 256; ++v) {
    if (!levels.test(static_cast<size_t>(v))) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(v);
  }
  return text;
}

uint8_t SnapChannel(const ChannelLevels& levels, uint8_t v) {
  // Outward from v, the lower side first, so that a tie goes down.
  for (int d = 0; d < 256; ++d) {
    if (v - d >= 0 && levels.test(static_cast<size_t>(v - d))) return static_cast<uint8_t>(v - d);
    if (v + d <= 255 && levels.test(static_cast<size_t>(v + d))) {
      return static_cast<uint8_t>(v + d);
    }
  }
  return v;  // an empty set allows nothing to be changed to
}

RGBTriple SnapColour(const ColourTarget& target, RGBTriple colour) {
  return {SnapChannel(target.levels[0], colour.R), SnapChannel(target.levels[1], colour.G),
          SnapChannel(target.levels[2], colour.B)};
}

bool OnTarget(const ColourTarget& target, RGBTriple colour) {
  return target.levels[0].test(colour.R) && target.levels[1].test(colour.G) &&
         target.levels[2].test(colour.B);
}

std::string TargetTitle(const ColourTarget& target) {
  if (target.None()) return "None";
  for (const TargetPreset& p : kPresets) {
    if (target.name == p.name) return p.title;
  }
  const int r = BitsOf(target.levels[0]), g = BitsOf(target.levels[1]),
            b = BitsOf(target.levels[2]);
  if (r > 0 && g > 0 && b > 0) {
    return std::to_string(r) + "-" + std::to_string(g) + "-" + std::to_string(b);
  }
  return "Custom levels";
}

std::string TargetMenuText(const ColourTarget& target) {
  if (target.None()) return "None (24-bit)";
  const std::string title = TargetTitle(target);
  const int r = BitsOf(target.levels[0]), g = BitsOf(target.levels[1]),
            b = BitsOf(target.levels[2]);
  const std::string bits = std::to_string(r) + "-" + std::to_string(g) + "-" + std::to_string(b);
  return r > 0 && g > 0 && b > 0 && title != bits ? title + " (" + bits + ")" : title;
}

std::string TargetDescription(const ColourTarget& target) {
  if (target.None()) return "none (24-bit)";
  const int r = BitsOf(target.levels[0]), g = BitsOf(target.levels[1]),
            b = BitsOf(target.levels[2]);
  if (r > 0 && g > 0 && b > 0) {
    const std::string bits = std::to_string(r) + "-" + std::to_string(g) + "-" + std::to_string(b);
    return target.name == bits ? bits : target.name + " (" + bits + ")";
  }
  return target.name + " levels (" + std::to_string(target.levels[0].count()) + ", " +
         std::to_string(target.levels[1].count()) + ", " +
         std::to_string(target.levels[2].count()) + ")";
}

}  // namespace hw
