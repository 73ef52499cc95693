// The steps of `huewright-cli edit`: one window command each, written as text
// ("sort:hsv:reverse", "move:16:40:8:index", "palette:ui.gpl:replace:240-255").
// The parser only reads the text; pipeline.h runs a step through the editor.
//
//   sort:KEY[:reverse][:WHAT][:LOW-HIGH] KEY usage, hsv, rgb or lightness
//   move:TARGET:SOURCE[:COUNT][:WHAT]    the drop of SOURCE on TARGET, COUNT 1..256
//   reverse:LOW-HIGH[:WHAT]
//   spread:rgb|hsv|hsv-reverse:LOW-HIGH
//   set:INDEX:#rrggbb[aa]
//   palette:FILE[:replace|protect:LOW-HIGH]
//   remap:FILE[:rgb|perceptual][:transparent=N]
//   merge-duplicates
//   compact
//   reduce:N                             N 1..255
//   lock:LOW-HIGH, unlock:LOW-HIGH
//   swap-banks:A:B[:SIZE]                banks of SIZE 16 (the default) or 4 entries
//   target:NAME|R-G-B                    NAME a machine (none, vga, megadrive, ...),
//                                        R-G-B bits per channel, each 1..8
//   snap                                 every unlocked entry onto the target
//   cycle:LOW-HIGH:RATE[:reverse]        adds an active cycle range, RATE 0..65535
//   no-cycles                            removes every cycle range
//
// WHAT is both (the default), index or colour. Positions are 0..255 and LOW-HIGH
// is inclusive with LOW <= HIGH. Optional fields are read from the right, so a
// palette's FILE is everything between "palette:" and them, colons included.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "base/result.h"
#include "board/board.h"
#include "board/fit.h"
#include "board/reduce.h"
#include "board/sort.h"
#include "board/spread.h"
#include "colour/colour.h"
#include "colour/target.h"

namespace hw::cli {

struct PositionRange {
  int low = 0;
  int high = 0;
};

struct SortStep {
  SortKey key = SortKey::Usage;
  bool reverse = false;
  MoveWhat what{};
  std::optional<PositionRange> range;  // "Range only" over it; none: the whole board
};

struct MoveStep {
  int target = 0;
  int source = 0;
  int count = 1;
  MoveWhat what{};
};

struct ReverseStep {
  PositionRange range;
  MoveWhat what{};
};

struct SpreadStep {
  SpreadKind kind = SpreadKind::Rgb;
  PositionRange range;
};

struct SetStep {
  int index = 0;
  RGBTriple colour;
  std::optional<uint8_t> alpha;  // none: the entry keeps its opacity
};

struct PaletteStep {
  std::string file;
  PaletteMerge merge = PaletteMerge::All;
  PositionRange range;  // for the merges
};

struct RemapStep {
  std::string file;
  RemapOptions options;
};

struct MergeDuplicatesStep {};
struct CompactStep {};

struct ReduceStep {
  int colours = 0;
};

struct LockStep {
  PositionRange range;
  bool lock = true;  // false: unlock
};

struct SwapBanksStep {
  int a = 0;
  int b = 0;
  int size = 16;  // 16 or 4
};

// Bank `bank` of `size` entries written to `file`, as a palette of that many
// entries in the format its extension says; a console format is named by its key
// as the extension ("bank.md9").
struct SaveBankStep {
  int bank = 0;
  std::string file;
  int size = 16;  // 16 or 4
};

struct TargetStep {
  ColourTarget target;
};
struct SnapStep {};

struct CycleStep {
  PositionRange range;
  int rate = 0;  // 16384 = 60 steps a second
  bool reverse = false;
};
struct NoCyclesStep {};

using Step =
    std::variant<SortStep, MoveStep, ReverseStep, SpreadStep, SetStep, PaletteStep, RemapStep,
                 MergeDuplicatesStep, CompactStep, ReduceStep, LockStep, TargetStep, SnapStep,
                 SwapBanksStep, SaveBankStep, CycleStep, NoCyclesStep>;

// Every step by name, with its form and what it does (the help lists them).
struct StepForm {
  const char* name;  // "sort"
  const char* form;  // "sort:KEY[:reverse][:WHAT][:LOW-HIGH]"
  const char* text;
};
std::span<const StepForm> StepForms();

// The step `text` names, or why it cannot be read ("unknown sort key 'hue'").
Result<Step> ParseStep(std::string_view text);

}  // namespace hw::cli
