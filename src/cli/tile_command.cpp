#include "cli/tile_command.h"

#include <cstdio>
#include <optional>
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

std::string TilesJson(const TileBanks& banks, const TileCheckOptions& o) {
  std::string json = "{\"tile\": [" + std::to_string(o.tile_width) + ", " +
                     std::to_string(o.tile_height) + "], \"bank\": " + std::to_string(o.bank_size) +
                     ", \"mixed\": " + std::to_string(banks.mixed) + ", \"tiles\": [";
  for (int r = 0; r < banks.rows; ++r) {
    for (int c = 0; c < banks.columns; ++c) {
      const uint64_t used =
          banks.banks[static_cast<size_t>(r) * static_cast<size_t>(banks.columns) +
                      static_cast<size_t>(c)];
      json += (r == 0 && c == 0 ? "\n  " : ",\n  ");
      json += "{\"x\": " + std::to_string(c) + ", \"y\": " + std::to_string(r) + ", \"banks\": [";
      bool first = true;
      for (int b = 0; b < 64; ++b) {
        if (((used >> b) & 1) == 0) continue;
        json += (first ? "" : ", ") + std::to_string(b);
        first = false;
      }
      json += "]}";
    }
  }
  json += "\n]}\n";
  return json;
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
  if (!opened) return Fail(*in, opened.error().message);
  auto picture = opened->TakeWhole();
  if (!picture) return Fail(*in, picture.error().message);
  const TileBanks banks = CheckTiles(picture->pixels, picture->width, picture->height, options);
  const std::string json = TilesJson(banks, options);
  if (std::fwrite(json.data(), 1, json.size(), stdout) != json.size() || std::fflush(stdout) != 0) {
    return Fail("stdout", "write failed");
  }
  return 0;
}

}  // namespace hw::cli
