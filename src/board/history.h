// The undo history: each step holds the board before and after one command
// (map, entries and marks, about 2.6 KB), never pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "board/board.h"

namespace hw {

class History {
 public:
  static constexpr size_t kDefaultDepth = 2000;
  explicit History(size_t depth = kDefaultDepth) : depth_(depth == 0 ? 1 : depth) {}

  // Forgets every step (a new picture starts a new history).
  void Clear();
  // Records a command that turned `before` into `after`; drops the steps that
  // could be redone, and the oldest step beyond the depth. Throws std::bad_alloc
  // having changed nothing when there is no room for the step.
  void Record(const BoardState& before, const BoardState& after);

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
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
  };
  size_t depth_;
  std::deque<Step> steps_;
  size_t done_ = 0;  // steps_[0 .. done_) are done; the rest can be redone
  uint64_t next_id_ = 1;
  uint64_t base_ = 0;          // the position before the oldest step kept
  uint64_t content_base_ = 0;  // and its content position
};

}  // namespace hw
