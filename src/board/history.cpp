#include "board/history.h"

#include "base/faults.h"

namespace hw {

namespace {

// True when `after` differs from `before` only in what a save does not write.
bool SettingsOnly(const BoardState& before, const BoardState& after) {
  return before.map == after.map && before.entries == after.entries &&
         before.names == after.names && before.cycles == after.cycles;
}

}  // namespace

void History::Clear() {
  steps_.clear();
  done_ = 0;
  base_ = next_id_++;
  content_base_ = base_;
}

void History::Record(const BoardState& before, const BoardState& after) {
  const uint64_t content = SettingsOnly(before, after) ? ContentPosition() : next_id_;
  const Step step{before, after, next_id_, content};
  if (done_ < steps_.size()) {
    // The first step that could be redone makes room for the new one: no
    // allocation, so nothing can fail from here on.
    steps_[done_] = step;
    steps_.resize(done_ + 1);
  } else {
    if (faults::AllocationShouldFail()) throw std::bad_alloc();
    steps_.push_back(step);  // changes nothing when it throws
  }
  ++next_id_;
  if (steps_.size() > depth_) {
    base_ = steps_.front().id;
    content_base_ = steps_.front().content_id;
    steps_.pop_front();
  }
  done_ = steps_.size();
}

std::optional<BoardState> History::UndoTarget() const {
  if (!CanUndo()) return std::nullopt;
  return steps_[done_ - 1].before;
}

std::optional<BoardState> History::RedoTarget() const {
  if (!CanRedo()) return std::nullopt;
  return steps_[done_].after;
}

void History::UndoDone() {
  if (CanUndo()) --done_;
}

void History::RedoDone() {
  if (CanRedo()) ++done_;
}

std::optional<BoardState> History::Undo() {
  std::optional<BoardState> target = UndoTarget();
  UndoDone();
  return target;
}

std::optional<BoardState> History::Redo() {
  std::optional<BoardState> target = RedoTarget();
  RedoDone();
  return target;
}

}  // namespace hw
