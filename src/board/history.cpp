#include "board/history.h"

namespace hw {

void History::Clear() {
  steps_.clear();
  done_ = 0;
  base_ = next_id_++;
}

void History::Record(const BoardState& before, const BoardState& after) {
  steps_.resize(done_);
  steps_.push_back(Step{before, after, next_id_++});
  if (steps_.size() > depth_) {
    base_ = steps_.front().id;
    steps_.pop_front();
  }
  done_ = steps_.size();
}

std::optional<BoardState> History::Undo() {
  if (!CanUndo()) return std::nullopt;
  --done_;
  return steps_[done_].before;
}

std::optional<BoardState> History::Redo() {
  if (!CanRedo()) return std::nullopt;
  ++done_;
  return steps_[done_ - 1].after;
}

}  // namespace hw
