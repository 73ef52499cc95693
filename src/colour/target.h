// Hardware colour targets: the levels each channel of a machine's palette can
// take, and snapping a colour onto them. A target is a set of allowed levels per
// channel; a channel value snaps to the nearest allowed level, and a value exactly
// halfway between two snaps to the lower one.
//
// Evenly spaced targets of b bits per channel have the levels
// round(k * 255 / (2^b - 1)), k = 0 .. 2^b - 1 (8 bits: every value, no snapping).
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "colour/colour.h"

namespace hw {

// Bit v of a channel's set is on when the channel can show the value v.
using ChannelLevels = std::bitset<256>;

struct ColourTarget {
  std::array<ChannelLevels, 3> levels{ChannelLevels().set(), ChannelLevels().set(),
                                      ChannelLevels().set()};
  // How the status line and the menus name it: a preset's name, "R-G-B" bits, or
  // "custom".
  std::string name = "none";
  // Every value of every channel is allowed: snapping changes nothing.
  bool None() const { return levels[0].all() && levels[1].all() && levels[2].all(); }
  friend bool operator==(const ColourTarget&, const ColourTarget&) = default;
};

// A named machine and its bits per channel.
struct TargetPreset {
  const char* name;  // as the command line takes it
  int red_bits, green_bits, blue_bits;
  const char* title;  // as the menus and the status line show it
};
// none (8-8-8), vga (6-6-6), ocs, ste, gamegear (4-4-4), st, megadrive (3-3-3),
// sms (2-2-2), snes, gba, gbc (5-5-5), in the order the menus list them.
std::span<const TargetPreset> TargetPresets();

// Level k of `bits` bits (1..8): round(k * 255 / (2^bits - 1)).
uint8_t EvenLevel(int bits, int k);
ChannelLevels EvenLevels(int bits);

// Evenly spaced levels of the given bits per channel (each 1..8), named `name`
// (empty: "R-G-B").
ColourTarget EvenTarget(int red_bits, int green_bits, int blue_bits, std::string name = {});
// A preset's name or "R-G-B" bits (each 1..8); nullopt for anything else.
std::optional<ColourTarget> TargetByName(std::string_view text);
// Levels given per channel (each list non-empty; values need no order).
ColourTarget CustomTarget(const std::array<std::vector<uint8_t>, 3>& levels);
// A comma-separated list of levels, 0..255 ascending ("0, 85, 170, 255"); the
// cause of a refusal goes to `why`.
std::optional<std::vector<uint8_t>> ParseLevels(std::string_view text, std::string* why);
// The list of a channel's levels, "0, 36, 73, ...".
std::string LevelsText(const ChannelLevels& levels);

// The nearest allowed level to v; halfway between two, the lower.
uint8_t SnapChannel(const ChannelLevels& levels, uint8_t v);
RGBTriple SnapColour(const ColourTarget& target, RGBTriple colour);
bool OnTarget(const ColourTarget& target, RGBTriple colour);
// How the window names a target: a preset's title ("Mega Drive"), "R-G-B" bits
// ("5-6-5"), "Custom levels" or "None".
std::string TargetTitle(const ColourTarget& target);
// The menu's entry: the title and its bits, "Mega Drive (3-3-3)", "None (24-bit)".
std::string TargetMenuText(const ColourTarget& target);
// "megadrive (3-3-3)", "5-5-5", "custom levels (3, 3, 4)", "none (24-bit)".
std::string TargetDescription(const ColourTarget& target);

}  // namespace hw
