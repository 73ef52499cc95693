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

TEST(History, UndoAndRedoWalkTheStepsExactlyAndANewStepDropsTheRedo) {
  History h;
  EXPECT_EQ((std::tuple{h.Undo(), h.Redo()}), std::tuple(std::nullopt, std::nullopt));
  RecordChain(h, 4);
  EXPECT_TRUE(h.CanUndo() && !h.CanRedo());
  EXPECT_EQ((std::tuple{h.Undo(), h.Undo(), h.Redo(), h.Undo()}),
            (std::tuple(Numbered(3), Numbered(2), Numbered(3), Numbered(2))));
  h.Record(Numbered(2), Numbered(9));  // back at board 2
  EXPECT_FALSE(h.CanRedo());
  EXPECT_EQ(h.UndoDepth(), 3u);
  EXPECT_EQ((std::tuple{h.Undo(), h.Undo(), h.Undo(), h.Undo(), h.Undo()}),
            (std::tuple(Numbered(2), Numbered(1), Numbered(0), std::nullopt, std::nullopt)));
  EXPECT_TRUE(h.CanRedo());
  EXPECT_EQ((std::tuple{h.Redo(), h.Redo(), h.Redo(), h.Redo()}),
            (std::tuple(Numbered(1), Numbered(2), Numbered(9), std::nullopt)));
  h.Clear();
  EXPECT_FALSE(h.CanUndo() || h.CanRedo());
}

TEST(History, KeepsOnlyTheNewestStepsUpToItsDepth) {
  for (const auto& [depth, kept] : std::vector<std::pair<size_t, size_t>>{{3, 3}, {0, 1}}) {
    History h(depth);
    RecordChain(h, 5);
    EXPECT_EQ(h.UndoDepth(), kept);
    std::optional<BoardState> last;
    while (h.CanUndo()) last = h.Undo();
    EXPECT_EQ(last, Numbered(static_cast<int>(5 - kept)));
  }
  History h;
  RecordChain(h, static_cast<int>(History::kDefaultDepth) + 5);
  EXPECT_EQ(h.UndoDepth(), History::kDefaultDepth);
  for (size_t i = 0; i < History::kDefaultDepth; ++i) h.Undo();
  EXPECT_FALSE(h.CanUndo());
  EXPECT_EQ(h.Redo(), Numbered(6));
}

}  // namespace
}  // namespace hw
