#include "board/history.h"

#include "base/faults.h"

namespace hw {

namespace {

// True when `after` differs from `before` only in what a save does not write.
bool SettingsOnly(const BoardState& before, const BoardState& after) {
  return before.map == after.map && before.entries == after.entries &&
         before.names == after.names && before.cycles == after.cycles;
}

// Heap text a string holds beyond its own room (libstdc++ keeps 15 characters
// inside).
size_t StringHeap(const std::string& s) { return s.capacity() > 15 ? s.capacity() + 1 : 0; }

}  // namespace

size_t History::StepBytes(const Step& step) {
  size_t bytes =
      sizeof(Step) + StringHeap(step.before.target.name) + StringHeap(step.after.target.name);
  // A list of names is shared with the step before unless this command wrote a
  // new one.
  if (const EntryNames* list = step.after.names.List();
      list != nullptr && list != step.before.names.List()) {
    bytes += sizeof(EntryNames);
    for (const std::string& n : *list) bytes += StringHeap(n);
  }
  return bytes;
}

void History::Clear() {
  steps_.clear();
  bytes_ = 0;
  done_ = 0;
  base_ = next_id_++;
  content_base_ = base_;
}

void History::DropOldest() {
  base_ = steps_.front().id;
  content_base_ = steps_.front().content_id;
  bytes_ -= StepBytes(steps_.front());
  steps_.pop_front();
}

size_t History::Record(const char* name, const BoardState& before, const BoardState& after) {
  const uint64_t content = SettingsOnly(before, after) ? ContentPosition() : next_id_;
  const Step step{before, after, next_id_, content, name};
  if (done_ < steps_.size()) {
    // The first step that could be redone makes room for the new one: no
    // allocation, so nothing can fail from here on.
    for (size_t i = done_; i < steps_.size(); ++i) bytes_ -= StepBytes(steps_[i]);
    steps_[done_] = step;
    steps_.resize(done_ + 1);
  } else {
    if (faults::AllocationShouldFail()) throw std::bad_alloc();
    steps_.push_back(step);  // changes nothing when it throws
  }
  bytes_ += StepBytes(step);
  ++next_id_;
  size_t dropped = 0;
  for (; steps_.size() > min_steps_ && bytes_ > max_bytes_; ++dropped) DropOldest();
  done_ = steps_.size();
  return dropped;
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
