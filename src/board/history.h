// The undo history: each step holds the board before and after one command and
// the command's name, never pixels. A step is 3,160 bytes on x86-64: two boards of
// 1,568 (map 256, entries 1,024, marks 4, the names' shared pointer 16, locks 32,
// the target 128 = three channels of 32 bytes of levels and its name's string, the
// cycle ranges 104, padding 4), then two numbers and the name's pointer. A target
// name longer than 15 characters and a list of entry names the step brought in (a
// sort of a named board writes a new list) take heap memory besides, which Bytes()
// counts too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "board/board.h"

namespace hw {

class History {
 public:
  // The steps kept: as many as fit in kMaxBytes, but never fewer than the last
  // kMinSteps (about 3 MB of plain steps, so the floor only matters for boards
  // with long names).
  static constexpr size_t kMaxBytes = size_t{64} << 20;
  static constexpr size_t kMinSteps = 1000;
  explicit History(size_t max_bytes = kMaxBytes, size_t min_steps = kMinSteps)
      : max_bytes_(max_bytes), min_steps_(min_steps == 0 ? 1 : min_steps) {}

  // Forgets every step (a new picture starts a new history).
  void Clear();
  // Records the command `name` (a text that outlives the history: a literal) that
  // turned `before` into `after`; drops the steps that could be redone, and the
  // oldest steps beyond the bound. Returns how many old steps were dropped. Throws
  // std::bad_alloc having changed nothing when there is no room for the step.
  size_t Record(const char* name, const BoardState& before, const BoardState& after);

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
  // The names of the commands an undo and a redo would take back or do again
  // ("Sort"), or null when there is none.
  const char* UndoName() const { return CanUndo() ? steps_[done_ - 1].name : nullptr; }
  const char* RedoName() const { return CanRedo() ? steps_[done_].name : nullptr; }
  // The board an undo or a redo would go to, or nullopt when there is none; the
  // history moves only with UndoDone() / RedoDone(), once that board is shown.
  std::optional<BoardState> UndoTarget() const;
  std::optional<BoardState> RedoTarget() const;
  void UndoDone();
  void RedoDone();
  // Both steps in one, for callers with nothing that can fail in between.
  std::optional<BoardState> Undo();
  std::optional<BoardState> Redo();
  size_t UndoDepth() const { return done_; }
  // The memory the kept steps take, as the bound counts it.
  size_t Bytes() const { return bytes_; }
  // Names the board as the history now stands: equal numbers, the same point of
  // the history (so "modified since the save" is a comparison of two numbers).
  uint64_t Position() const { return done_ > 0 ? steps_[done_ - 1].id : base_; }
  // The same, counting only the steps that change what a save writes: a step
  // that changes nothing but locks, the target hardware or the marks keeps the
  // number of the step before it (settings are undoable, but they are not changes
  // to the picture).
  uint64_t ContentPosition() const {
    return done_ > 0 ? steps_[done_ - 1].content_id : content_base_;
  }

 private:
  struct Step {
    BoardState before;
    BoardState after;
    uint64_t id = 0;
    uint64_t content_id = 0;  // ContentPosition() once this step is done
    const char* name = "";
  };
  static size_t StepBytes(const Step& step);
  void DropOldest();

  size_t max_bytes_;
  size_t min_steps_;
  std::deque<Step> steps_;
  size_t bytes_ = 0;
  size_t done_ = 0;  // steps_[0 .. done_) are done; the rest can be redone
  uint64_t next_id_ = 1;
  uint64_t base_ = 0;          // the position before the oldest step kept
  uint64_t content_base_ = 0;  // and its content position
};

}  // namespace hw
