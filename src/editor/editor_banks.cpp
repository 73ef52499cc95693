// The board as banks of 16 or 4 entries, as tile-based hardware uses it: bank
// exchanges and the check of which banks each tile of the picture uses.
#include <initializer_list>
#include <string>

#include "editor/editor.h"

namespace hw {

bool Editor::BanksOnBoard(std::initializer_list<int> banks, int size) {
  for (int n : banks) {
    if (size != 16 && size != 4) {
      ReportError("a bank holds 16 or 4 entries, not " + std::to_string(size));
      return false;
    }
    if (n < 0 || n >= 256 / size) {
      ReportError("there is no bank " + std::to_string(n) + " of " + std::to_string(size) +
                  " entries (banks 0 to " + std::to_string(256 / size - 1) + ")");
      return false;
    }
  }
  return true;
}

bool Editor::SwapBanks(int a, int b, int size) {
  if (!BanksOnBoard({a, b}, size)) return false;
  if (a == b) return true;
  // A refused drop (a locked position, say) has said why.
  if (!Drop(b * size, a * size, MoveOptions{size, MoveWhat{true, true}})) return false;
  message_ = "Exchanged banks " + std::to_string(a) + " and " + std::to_string(b);
  if (auto* v = view()) v->StateChanged();
  return true;
}

void Editor::CheckTiles(const TileCheckOptions& options) {
  if (!loaded_ || !ValidTileCheck(options)) return;
  tile_check_ = TileCheck{options, hw::CheckTiles(Pixels(), width_, height_, options)};
  TileCheckMessage();
  if (auto* v = view()) {
    v->PictureChanged();
    v->StateChanged();
  }
}

void Editor::ClearTileCheck() {
  if (!tile_check_) return;
  tile_check_.reset();
  if (auto* v = view()) {
    v->PictureChanged();
    v->StateChanged();
  }
}

void Editor::RecheckTiles() {
  if (!tile_check_ || !loaded_) return;
  tile_check_->banks = hw::CheckTiles(Pixels(), width_, height_, tile_check_->options);
}

std::string Editor::TileCheckSummary() const {
  if (!tile_check_) return {};
  const TileBanks& b = tile_check_->banks;
  const int64_t all = int64_t{b.columns} * b.rows;
  return b.mixed == 0 ? "No tile uses more than one bank"
                      : std::to_string(b.mixed) + " of " + std::to_string(all) +
                            (all == 1 ? " tile" : " tiles") + (b.mixed == 1 ? " uses" : " use") +
                            " more than one bank";
}

void Editor::TileCheckMessage() { message_ = TileCheckSummary(); }

std::string Editor::StatusLine() const {
  // While a tile check is shown its count is always on the line, as current as
  // its outlines, whatever the last command said.
  const std::string tiles = TileCheckSummary();
  std::string line = history_notice_ ? std::string(kHistoryShortened) : std::string();
  for (const std::string* part : {&message_, &tiles}) {
    if (part->empty() || (part == &tiles && message_ == tiles)) continue;
    line += (line.empty() ? "" : "; ") + *part;
  }
  return line;
}

}  // namespace hw
