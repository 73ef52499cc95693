#include "board/history.h"

#include <gtest/gtest.h>

#include <vector>

namespace hw {
namespace {

// Board n: every entry red n, the marks on n.
BoardState Numbered(int n) {
  BoardState b = StartBoard({static_cast<uint8_t>(n), 0, 0});
  b.prev = b.cur = static_cast<int16_t>(n);
  return b;
}

// Records the steps 0 -> 1 -> ... -> n.
void RecordChain(History& h, int n) {
  for (int i = 0; i < n; ++i) h.Record(Numbered(i), Numbered(i + 1));
}

// Undo and Redo walk the steps exactly; a new step drops what could be redone; the
// position names a point of the history, so coming back to it is "unmodified".
TEST(History, UndoAndRedoWalkTheStepsExactlyAndANewStepDropsTheRedo) {
  History h;
  EXPECT_EQ((std::tuple{h.Undo(), h.Redo()}), std::tuple(std::nullopt, std::nullopt));
  const uint64_t empty = h.Position();
  RecordChain(h, 4);
  const uint64_t four = h.Position();
  EXPECT_EQ((std::tuple{h.Undo(), h.Undo(), h.Redo(), h.Undo()}),
            (std::tuple(Numbered(3), Numbered(2), Numbered(3), Numbered(2))));
  h.Record(Numbered(2), Numbered(9));  // back at board 2
  EXPECT_FALSE(h.CanRedo());
  EXPECT_NE(h.Position(), four);
  EXPECT_EQ((std::tuple{h.Undo(), h.Undo(), h.Undo(), h.Undo(), h.Undo()}),
            (std::tuple(Numbered(2), Numbered(1), Numbered(0), std::nullopt, std::nullopt)));
  EXPECT_EQ(h.Position(), empty);
  EXPECT_EQ((std::tuple{h.Redo(), h.Redo(), h.Redo(), h.Redo()}),
            (std::tuple(Numbered(1), Numbered(2), Numbered(9), std::nullopt)));
  h.Clear();
  EXPECT_FALSE(h.CanUndo() || h.CanRedo());
}

// At least a thousand steps by default; only the newest steps up to the depth are kept.
TEST(History, KeepsOnlyTheNewestStepsUpToItsDepth) {
  for (const auto& [depth, steps, kept] :
       std::vector<std::tuple<size_t, int, int>>{{3, 5, 3}, {0, 5, 1}}) {
    History h(depth);
    RecordChain(h, steps);
    int undone = 0;
    std::optional<BoardState> last;
    for (; h.CanUndo(); ++undone) last = h.Undo();
    EXPECT_EQ(std::tuple(undone, last), std::tuple(kept, Numbered(steps - kept))) << depth;
    EXPECT_EQ(h.Redo(), Numbered(steps - kept + 1));
  }
  History h;
  RecordChain(h, 1000);
  EXPECT_EQ(h.UndoDepth(), 1000u);
}

}  // namespace
}  // namespace hw
