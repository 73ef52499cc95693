#include "cli/pipeline.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

#include "formats/palettes/palette_console.h"
#include "formats/picture_io.h"
#include "formats/save_losses.h"

namespace hw::cli {

Pipeline::Pipeline() : editor_(EditorServices{&errors_, nullptr, nullptr, nullptr}) {
  editor_.Start();
  // The first step follows the load at once: a buffer made ahead would only be
  // waited for, or never used by steps that leave the map alone.
  editor_.SetPrepareAfterLoad(false);
  editor_.SetForwardOnly(true);
}

Status Pipeline::Reported(bool ok) {
  if (ok) return Ok{};
  if (errors_.error.cause.empty()) return Error{"failed"};
  return errors_.error;
}

Status Pipeline::Load(const std::string& path) { return Reported(editor_.LoadPicture(path)); }

Status Pipeline::SavePicture(const std::string& path) {
  return Reported(editor_.SavePicture(path));
}

Status Pipeline::SavePalette(const std::string& path) {
  return Reported(editor_.SavePalette(path));
}

Status Pipeline::SaveBank(const SaveBankStep& step) {
  // A console format has no extension of its own: its key serves as one.
  const size_t dot = step.file.find_last_of('.');
  const size_t slash = step.file.find_last_of('/');
  std::optional<PaletteFormat> format;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    format = ConsoleFormatByName(std::string_view(step.file).substr(dot + 1));
  }
  PendingBank bank;
  bank.step = steps_run_ - 1;
  bank.file = step.file;
  bank.format = format.value_or(PaletteFormatForName(step.file));
  const auto first = static_cast<size_t>(step.bank * step.size);
  const auto entries =
      std::span(editor_.Board().entries).subspan(first, static_cast<size_t>(step.size));
  bank.entries.assign(entries.begin(), entries.end());
  bank.names = editor_.BankNames(step.bank, step.size);
  if (auto loss =
          PaletteEntriesSaveLoses(bank.format, entries, bank.names ? &*bank.names : nullptr)) {
    bank.loss = *loss;
  }
  pending_banks_.push_back(std::move(bank));
  return Ok{};
}

Status Pipeline::WriteBank(const PendingBank& bank) {
  const Status saved =
      SavePaletteEntries(bank.file, bank.format, bank.entries, bank.names ? &*bank.names : nullptr);
  if (saved) return Ok{};
  Error error = saved.error();
  if (error.cause.empty()) error.cause = "failed";
  if (!error.NamesFile()) error.file = bank.file;
  return error;
}

Status Pipeline::Run(const Step& step, std::string* warning, std::string* note) {
  Editor& ed = editor_;
  ++steps_run_;
  const auto report = [&] {
    if (note != nullptr) *note = ed.Message();
  };
  return std::visit(
      [&](const auto& s) -> Status {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, SortStep>) {
          if (s.range) ed.SetMarks(s.range->low, s.range->high);
          ed.Sort(s.key, s.reverse, s.what, s.range.has_value());
        } else if constexpr (std::is_same_v<S, MoveStep>) {
          if (!ed.Drop(s.target, s.source, MoveOptions{s.count, s.what})) return Reported(false);
          // A drop on itself is a click and leaves the last message as it was.
          if (s.target != s.source && !ed.Message().empty()) *warning = ed.Message();
        } else if constexpr (std::is_same_v<S, ReverseStep>) {
          ed.SetMarks(s.range.low, s.range.high);
          return Reported(ed.ReverseRange(s.what));
        } else if constexpr (std::is_same_v<S, SpreadStep>) {
          ed.SetMarks(s.range.low, s.range.high);
          ed.Spread(s.kind);
          report();
        } else if constexpr (std::is_same_v<S, SetStep>) {
          return Reported(s.alpha ? ed.SetEntry(s.index, BoardEntry{s.colour, *s.alpha})
                                  : ed.EditColour(s.index, s.colour));
        } else if constexpr (std::is_same_v<S, PaletteStep>) {
          if (s.merge != PaletteMerge::All) ed.SetMarks(s.range.low, s.range.high);
          return Reported(ed.LoadPalette(s.file, s.merge));
        } else if constexpr (std::is_same_v<S, RemapStep>) {
          return Reported(ed.RemapToPalette(s.file, s.options));
        } else if constexpr (std::is_same_v<S, SwapBanksStep>) {
          return Reported(ed.SwapBanks(s.a, s.b, s.size));
        } else if constexpr (std::is_same_v<S, SaveBankStep>) {
          return SaveBank(s);
        } else if constexpr (std::is_same_v<S, MergeDuplicatesStep>) {
          ed.MergeDuplicates();
        } else if constexpr (std::is_same_v<S, TargetStep>) {
          ed.SetTarget(s.target);
        } else if constexpr (std::is_same_v<S, SnapStep>) {
          ed.SnapAll();
          report();
        } else if constexpr (std::is_same_v<S, CycleStep>) {
          const CycleRange range{static_cast<uint8_t>(s.range.low),
                                 static_cast<uint8_t>(s.range.high), static_cast<uint16_t>(s.rate),
                                 s.reverse, true};
          if (!ed.AddCycleRange(range)) return Error{ed.Message()};
        } else if constexpr (std::is_same_v<S, NoCyclesStep>) {
          ed.ClearCycleRanges();
        } else if constexpr (std::is_same_v<S, CompactStep>) {
          ed.Compact();
        } else if constexpr (std::is_same_v<S, ReduceStep>) {
          return Reported(ed.ReduceColours(s.colours));
        } else {
          static_assert(std::is_same_v<S, LockStep>);
          ed.SetMarks(s.range.low, s.range.high);
          ed.LockRange(s.lock);
        }
        return Ok{};
      },
      step);
}

}  // namespace hw::cli
