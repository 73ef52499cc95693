#include "cli/tile_command.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/output.h"
#include "formats/picture_opener.h"
#include "pixels/tiles.h"

namespace hw::cli {

namespace {

// "WxH" with both sides 1..65535, in decimal digits only.
std::optional<std::pair<int, int>> ParseTileSize(const std::string& text) {
  const auto side = [](std::string_view digits) -> std::optional<int> {
    if (digits.empty()) return std::nullopt;
    long value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
      if (value > 65535) return std::nullopt;
    }
    if (value < 1) return std::nullopt;
    return static_cast<int>(value);
  };
  const size_t x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  const auto w = side(std::string_view(text).substr(0, x));
  const auto h = side(std::string_view(text).substr(x + 1));
  if (!w || !h) return std::nullopt;
  return std::pair{*w, *h};
}

// The tiles are checked a run of tile rows at a time, of at most kChunkTiles
// tiles (or one row of tiles, when a row has more), so that what is held besides
// the picture is bounded however many tiles there are: once to count the mixed
// tiles (which the JSON gives first), once more while the list is written.
constexpr int64_t kChunkTiles = int64_t{1} << 17;

template <typename Chunk>
void ForEachChunk(std::span<const uint8_t> pixels, int width, int height, const TileCheckOptions& o,
                  const Chunk& chunk) {
  const int64_t columns = (int64_t{width} + o.tile_width - 1) / o.tile_width;
  const int64_t tile_rows = std::max<int64_t>(1, kChunkTiles / std::max<int64_t>(columns, 1));
  const int64_t step = tile_rows * o.tile_height;
  const size_t row = static_cast<size_t>(width);
  for (int64_t y = 0; y < height; y += step) {
    const int64_t rows = std::min<int64_t>(step, height - y);
    const TileBanks banks =
        CheckTiles(pixels.subspan(static_cast<size_t>(y) * row, static_cast<size_t>(rows) * row),
                   width, static_cast<int>(rows), o);
    chunk(static_cast<int>(y / o.tile_height), banks);
  }
}

// Standard output in pieces of about kPiece bytes; false once a write failed.
class Output {
 public:
  static constexpr size_t kPiece = size_t{64} << 10;
  Output() { text_.reserve(kPiece + 256); }
  void Add(const std::string& more) {
    text_ += more;
    if (text_.size() >= kPiece) Flush();
  }
  bool Flush() {
    if (ok_ && !text_.empty() && std::fwrite(text_.data(), 1, text_.size(), stdout) != text_.size())
      ok_ = false;
    text_.clear();
    return ok_;
  }
  bool Finish() { return Flush() && std::fflush(stdout) == 0 && ok_; }

 private:
  std::string text_;
  bool ok_ = true;
};

bool WriteTilesJson(std::span<const uint8_t> pixels, int width, int height,
                    const TileCheckOptions& o) {
  int64_t mixed = 0;
  ForEachChunk(pixels, width, height, o,
               [&](int, const TileBanks& banks) { mixed += banks.mixed; });
  Output out;
  out.Add("{\"tile\": [" + std::to_string(o.tile_width) + ", " + std::to_string(o.tile_height) +
          "], \"bank\": " + std::to_string(o.bank_size) + ", \"mixed\": " + std::to_string(mixed) +
          ", \"tiles\": [");
  std::string tile;
  ForEachChunk(pixels, width, height, o, [&](int first_row, const TileBanks& banks) {
    size_t at = 0;
    for (int r = first_row; r < first_row + banks.rows; ++r) {
      for (int c = 0; c < banks.columns; ++c) {
        const uint64_t used = banks.banks[at++];
        tile = (r == 0 && c == 0 ? "\n  " : ",\n  ");
        tile += "{\"x\": " + std::to_string(c) + ", \"y\": " + std::to_string(r) + ", \"banks\": [";
        bool first = true;
        for (int b = 0; b < 64; ++b) {
          if (((used >> b) & 1) == 0) continue;
          tile += (first ? "" : ", ") + std::to_string(b);
          first = false;
        }
        tile += "]}";
        out.Add(tile);
      }
    }
  });
  out.Add("\n]}\n");
  return out.Finish();
}

}  // namespace

int Tiles(const std::vector<std::string>& args) {
  TileCheckOptions options;
  std::optional<std::string> in;
  bool tile_given = false, bank_given = false, zero_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--tile") {
      if (tile_given || !has_value) return UsageError("--tile takes WxH, once");
      const auto size = ParseTileSize(args[++i]);
      if (!size) return UsageError("--tile takes WxH (each 1 to 65535), not '" + args[i] + "'");
      options.tile_width = size->first;
      options.tile_height = size->second;
      tile_given = true;
    } else if (a == "--bank") {
      if (bank_given || !has_value) return UsageError("--bank takes 16 or 4, once");
      const std::string& v = args[++i];
      if (v != "16" && v != "4") return UsageError("--bank takes 16 or 4, not '" + v + "'");
      options.bank_size = v == "16" ? 16 : 4;
      bank_given = true;
    } else if (a == "--shared-zero") {
      if (zero_given) return UsageError("--shared-zero given twice");
      options.shared_zero = zero_given = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return UsageError("tiles has no option '" + a + "'");
    } else if (in) {
      return UsageError("tiles takes one IN");
    } else {
      in = a;
    }
  }
  if (!in) return UsageError("tiles takes IN");
  current_file = *in;
  auto opened = OpenedPicture::Open(*in);
  if (!opened) return Fail(*in, opened.error());
  auto picture = opened->TakeWhole();
  if (!picture) return Fail(*in, picture.error());
  if (!WriteTilesJson(picture->pixels, picture->width, picture->height, options)) {
    return Fail("stdout", "write failed");
  }
  return 0;
}

}  // namespace hw::cli
