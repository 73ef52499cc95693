#include "cli/steps.h"

#include <iterator>
#include <utility>
#include <vector>

namespace hw::cli {

namespace {

using Fields = std::vector<std::string_view>;

Fields Split(std::string_view text) {
  Fields fields;
  for (;;) {
    const size_t colon = text.find(':');
    fields.push_back(text.substr(0, colon));
    if (colon == std::string_view::npos) return fields;
    text.remove_prefix(colon + 1);
  }
}

Error FormError(std::string_view form) { return Error{"expected " + std::string(form)}; }

// A decimal number in low..high; `name` says what it is in the error.
Result<int> Number(std::string_view field, int low, int high, std::string_view name) {
  if (field.empty() || field.size() > 9 || field.find_first_not_of("0123456789") != field.npos) {
    return Error{std::string(name) + " " + Quoted(field) + " is not a number"};
  }
  int value = 0;
  for (char c : field) value = value * 10 + (c - '0');
  if (value < low || value > high) {
    return Error{std::string(name) + " " + std::to_string(value) + " is out of range " +
                 std::to_string(low) + ".." + std::to_string(high)};
  }
  return value;
}

Result<int> Position(std::string_view field, std::string_view name) {
  return Number(field, 0, 255, name);
}

Result<PositionRange> Range(std::string_view field) {
  const size_t dash = field.find('-');
  if (dash == field.npos) return Error{Quoted(field) + " is not a range LOW-HIGH"};
  auto low = Position(field.substr(0, dash), "LOW");
  if (!low) return low.error();
  auto high = Position(field.substr(dash + 1), "HIGH");
  if (!high) return high.error();
  if (*low > *high) {
    return Error{"LOW " + std::to_string(*low) + " is above HIGH " + std::to_string(*high)};
  }
  return PositionRange{*low, *high};
}

Result<MoveWhat> What(std::string_view field) {
  if (field == "both") return MoveWhat{true, true};
  if (field == "index") return MoveWhat{true, false};
  if (field == "colour") return MoveWhat{false, true};
  return Error{"unknown WHAT " + Quoted(field) + " (both, index or colour)"};
}

Result<Step> Sort(const Fields& f) {
  constexpr std::string_view kForm = "sort:KEY[:reverse][:WHAT][:LOW-HIGH]";
  if (f.empty() || f.size() > 4) return FormError(kForm);
  SortStep step;
  if (f[0] == "usage") {
    step.key = SortKey::Usage;
  } else if (f[0] == "hsv") {
    step.key = SortKey::Hue;
  } else if (f[0] == "rgb") {
    step.key = SortKey::RedGreen;
  } else if (f[0] == "lightness") {
    step.key = SortKey::Lightness;
  } else {
    return Error{"unknown sort key " + Quoted(f[0]) + " (usage, hsv, rgb or lightness)"};
  }
  size_t next = 1;
  if (next < f.size() && f[next] == "reverse") {
    step.reverse = true;
    ++next;
  }
  // A range starts with a digit, WHAT with a letter.
  const auto is_range = [](std::string_view w) { return !w.empty() && w[0] >= '0' && w[0] <= '9'; };
  if (next < f.size() && !is_range(f[next])) {
    auto what = What(f[next]);
    if (!what) return what.error();
    step.what = *what;
    ++next;
  }
  if (next < f.size()) {
    auto range = Range(f[next]);
    if (!range) return range.error();
    step.range = *range;
    ++next;
  }
  if (next < f.size()) return FormError(kForm);
  return Step{std::move(step)};
}

Result<Step> Reduce(const Fields& f) {
  if (f.size() != 1) return FormError("reduce:N");
  auto n = Number(f[0], kReduceMin, kReduceMax, "N");
  if (!n) return n.error();
  return Step{ReduceStep{*n}};
}

Result<Step> Lock(const Fields& f, bool lock) {
  if (f.size() != 1) return FormError(lock ? "lock:LOW-HIGH" : "unlock:LOW-HIGH");
  auto range = Range(f[0]);
  if (!range) return range.error();
  return Step{LockStep{*range, lock}};
}

Result<Step> Move(const Fields& f) {
  constexpr std::string_view kForm = "move:TARGET:SOURCE[:COUNT][:WHAT]";
  if (f.size() < 2 || f.size() > 4) return FormError(kForm);
  MoveStep step;
  auto target = Position(f[0], "TARGET");
  if (!target) return target.error();
  auto source = Position(f[1], "SOURCE");
  if (!source) return source.error();
  step.target = *target;
  step.source = *source;
  size_t next = 2;
  // A lone optional field is WHAT when it is a word, COUNT otherwise.
  const auto word = [](std::string_view w) { return !w.empty() && w[0] >= 'a' && w[0] <= 'z'; };
  const bool count_given = next < f.size() && (f.size() == 4 || !word(f[next]));
  if (count_given) {
    auto count = Number(f[next], 1, 256, "COUNT");
    if (!count) return count.error();
    step.count = *count;
    ++next;
  }
  if (next < f.size()) {
    auto what = What(f[next]);
    if (!what) return what.error();
    step.what = *what;
  }
  return Step{std::move(step)};
}

Result<Step> Reverse(const Fields& f) {
  if (f.empty() || f.size() > 2) return FormError("reverse:LOW-HIGH[:WHAT]");
  ReverseStep step;
  auto range = Range(f[0]);
  if (!range) return range.error();
  step.range = *range;
  if (f.size() == 2) {
    auto what = What(f[1]);
    if (!what) return what.error();
    step.what = *what;
  }
  return Step{std::move(step)};
}

Result<Step> Cycle(const Fields& f) {
  constexpr std::string_view kForm = "cycle:LOW-HIGH:RATE[:reverse]";
  if (f.size() < 2 || f.size() > 3) return FormError(kForm);
  CycleStep step;
  auto range = Range(f[0]);
  if (!range) return range.error();
  step.range = *range;
  auto rate = Number(f[1], 0, kMaxCycleRate, "RATE");
  if (!rate) return rate.error();
  step.rate = *rate;
  if (f.size() == 3) {
    if (f[2] != "reverse") return FormError(kForm);
    step.reverse = true;
  }
  return Step{std::move(step)};
}

Result<Step> Spread(const Fields& f) {
  if (f.size() != 2) return FormError("spread:rgb|hsv|hsv-reverse:LOW-HIGH");
  SpreadStep step;
  if (f[0] == "rgb") {
    step.kind = SpreadKind::Rgb;
  } else if (f[0] == "hsv") {
    step.kind = SpreadKind::Hsv;
  } else if (f[0] == "hsv-reverse") {
    step.kind = SpreadKind::HsvReverse;
  } else {
    return Error{"unknown spread " + Quoted(f[0]) + " (rgb, hsv or hsv-reverse)"};
  }
  auto range = Range(f[1]);
  if (!range) return range.error();
  step.range = *range;
  return Step{std::move(step)};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Result<Step> Set(const Fields& f) {
  if (f.size() != 2) return FormError("set:INDEX:#rrggbb[aa]");
  SetStep step;
  auto index = Position(f[0], "INDEX");
  if (!index) return index.error();
  step.index = *index;
  const std::string_view c = f[1];
  uint8_t bytes[4] = {0, 0, 0, 255};
  bool hex = c.size() == 7 || c.size() == 9;
  for (size_t i = 1; hex && i < c.size(); i += 2) {
    const int hi = HexDigit(c[i]), lo = HexDigit(c[i + 1]);
    hex = hi >= 0 && lo >= 0;
    bytes[i / 2] = static_cast<uint8_t>(hi * 16 + lo);
  }
  if (!hex || c[0] != '#') return Error{"colour " + Quoted(c) + " is not #rrggbb or #rrggbbaa"};
  step.colour = {bytes[0], bytes[1], bytes[2]};
  if (c.size() == 9) step.alpha = bytes[3];
  return Step{std::move(step)};
}

// FILE may hold colons, so the merge is read from the right: "...:replace:LOW-HIGH".
Result<Step> Palette(std::string_view rest) {
  PaletteStep step;
  const Fields f = Split(rest);
  const size_t n = f.size();
  const auto merge_word = [](std::string_view w) { return w == "replace" || w == "protect"; };
  std::string_view file = rest;
  if (n >= 2 && merge_word(f[n - 2])) {
    step.merge = f[n - 2] == "replace" ? PaletteMerge::ReplaceRange : PaletteMerge::ProtectRange;
    auto range = Range(f[n - 1]);
    if (!range) return range.error();
    step.range = *range;
    const size_t options = f[n - 2].size() + 1 + f[n - 1].size() + (n > 2 ? 1 : 0);
    file = rest.substr(0, rest.size() - options);
  } else if (merge_word(f[n - 1])) {
    return Error{Quoted(f[n - 1]) + " needs a range: palette:FILE:" + std::string(f[n - 1]) +
                 ":LOW-HIGH"};
  }
  if (file.empty()) return FormError("palette:FILE[:replace|protect:LOW-HIGH]");
  step.file = std::string(file);
  return Step{std::move(step)};
}

// FILE may hold colons too: the metric and the transparent position are read
// from the right, "...:perceptual:transparent=3".
Result<Step> Remap(std::string_view rest) {
  RemapStep step;
  std::string_view file = rest;
  const auto last_field = [&file] {
    const size_t colon = file.rfind(':');
    return colon == file.npos ? std::string_view() : file.substr(colon + 1);
  };
  const auto drop_last = [&file] { file = file.substr(0, file.rfind(':')); };
  if (std::string_view f = last_field(); f.starts_with("transparent=")) {
    auto n = Position(f.substr(12), "transparent");
    if (!n) return n.error();
    step.options.transparent = *n;
    drop_last();
  }
  if (std::string_view f = last_field(); f == "rgb" || f == "perceptual") {
    step.options.metric = f == "rgb" ? RemapMetric::Rgb : RemapMetric::Perceptual;
    drop_last();
  }
  if (file.empty()) return FormError("remap:FILE[:rgb|perceptual][:transparent=N]");
  step.file = std::string(file);
  return Step{std::move(step)};
}

Result<Step> SwapBanks(const Fields& f) {
  constexpr std::string_view kForm = "swap-banks:A:B[:SIZE]";
  if (f.size() < 2 || f.size() > 3) return FormError(kForm);
  SwapBanksStep step;
  if (f.size() == 3) {
    if (f[2] != "16" && f[2] != "4") return Error{"SIZE " + Quoted(f[2]) + " is not 16 or 4"};
    step.size = f[2] == "16" ? 16 : 4;
  }
  auto a = Number(f[0], 0, 256 / step.size - 1, "A");
  if (!a) return a.error();
  auto b = Number(f[1], 0, 256 / step.size - 1, "B");
  if (!b) return b.error();
  step.a = *a;
  step.b = *b;
  return Step{step};
}

// "N:FILE[:SIZE]"; FILE may hold colons, so SIZE is read from the right, and only
// a last field of 16 or 4 is a size.
Result<Step> SaveBank(std::string_view rest) {
  constexpr std::string_view kForm = "save-bank:N:FILE[:SIZE]";
  const size_t colon = rest.find(':');
  if (colon == rest.npos) return FormError(kForm);
  SaveBankStep step;
  std::string_view file = rest.substr(colon + 1);
  if (const size_t last = file.rfind(':'); last != file.npos) {
    const std::string_view size = file.substr(last + 1);
    if (size == "16" || size == "4") {
      step.size = size == "16" ? 16 : 4;
      file = file.substr(0, last);
    }
  }
  if (file.empty()) return FormError(kForm);
  auto n = Number(rest.substr(0, colon), 0, 256 / step.size - 1, "N");
  if (!n) return n.error();
  step.bank = *n;
  step.file = std::string(file);
  return Step{std::move(step)};
}

constexpr StepForm kSteps[] = {
    {"sort", "sort:KEY[:reverse][:WHAT][:LOW-HIGH]",
     "Sort; KEY usage, hsv, rgb or lightness; LOW-HIGH sorts that range only"},
    {"move", "move:TARGET:SOURCE[:COUNT][:WHAT]", "drop SOURCE on TARGET, COUNT 1..256 entries"},
    {"reverse", "reverse:LOW-HIGH[:WHAT]", "Reverse Range"},
    {"spread", "spread:rgb|hsv|hsv-reverse:LOW-HIGH", "Spread RGB, HSV or HSV Reverse"},
    {"set", "set:INDEX:#rrggbb[aa]", "give one entry a colour (and an opacity)"},
    {"palette", "palette:FILE[:replace|protect:LOW-HIGH]", "Load Palette, whole or merged"},
    {"remap", "remap:FILE[:rgb|perceptual][:transparent=N]",
     "Remap to Palette: the nearest colours of FILE"},
    {"merge-duplicates", "merge-duplicates", "Merge Duplicates"},
    {"compact", "compact", "Compact: the used entries to the front"},
    {"reduce", "reduce:N", "Reduce Colours to N, 1..255"},
    {"lock", "lock:LOW-HIGH", "Lock Range"},
    {"unlock", "unlock:LOW-HIGH", "Unlock Range"},
    {"target", "target:NAME|R-G-B",
     "Target Hardware: a machine (none, vga, megadrive, ...) or bits per channel, 1..8"},
    {"snap", "snap", "Snap All: every unlocked entry onto the target"},
    {"swap-banks", "swap-banks:A:B[:SIZE]", "exchange banks A and B of SIZE 16 or 4 entries"},
    {"save-bank", "save-bank:N:FILE[:SIZE]", "write bank N of SIZE 16 or 4 entries to FILE"},
    {"cycle", "cycle:LOW-HIGH:RATE[:reverse]",
     "add an active cycle range, RATE 0..65535 (16384: 60 steps a second)"},
    {"no-cycles", "no-cycles", "remove every cycle range"},
};

}  // namespace

std::span<const StepForm> StepForms() { return kSteps; }

Result<Step> ParseStep(std::string_view text) {
  const size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  const std::string_view rest = colon == text.npos ? std::string_view() : text.substr(colon + 1);
  if (name == "palette") return Palette(rest);
  if (name == "remap") return Remap(rest);
  if (name == "save-bank") return SaveBank(rest);
  if (name == "merge-duplicates" || name == "compact" || name == "snap" || name == "no-cycles") {
    if (colon != text.npos) return FormError(name);
    if (name == "compact") return Step{CompactStep{}};
    if (name == "snap") return Step{SnapStep{}};
    if (name == "no-cycles") return Step{NoCyclesStep{}};
    return Step{MergeDuplicatesStep{}};
  }
  if (name == "target") {
    if (auto target = TargetByName(rest)) return Step{TargetStep{std::move(*target)}};
    std::string names;
    for (const TargetPreset& p : TargetPresets()) names += std::string(p.name) + ", ";
    return Error{"unknown target " + Quoted(rest) + " (" + names + "or R-G-B bits, each 1..8)"};
  }
  const Fields fields = colon == text.npos ? Fields{} : Split(rest);
  if (name == "sort") return Sort(fields);
  if (name == "move") return Move(fields);
  if (name == "reverse") return Reverse(fields);
  if (name == "spread") return Spread(fields);
  if (name == "set") return Set(fields);
  if (name == "swap-banks") return SwapBanks(fields);
  if (name == "cycle") return Cycle(fields);
  if (name == "reduce") return Reduce(fields);
  if (name == "lock" || name == "unlock") return Lock(fields, name == "lock");
  std::string names;
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    names += i == 0 ? "" : i + 1 == std::size(kSteps) ? " or " : ", ";
    names += kSteps[i].name;
  }
  return Error{"unknown step " + Quoted(name) + " (" + names + ")"};
}

}  // namespace hw::cli
