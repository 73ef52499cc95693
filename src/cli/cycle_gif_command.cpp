#include "cli/cycle_gif_command.h"

#include "cli/output.h"
#include "editor/cycle_export.h"
#include "formats/picture_opener.h"

namespace hw::cli {

int CycleGif(const std::string& in, const std::string& out,
             const std::optional<FixedLength>& length) {
  current_file = in;
  auto opened = hw::OpenedPicture::Open(in);
  if (!opened) return Fail(in, opened.error());
  auto picture = opened->TakeWhole();
  if (!picture) return Fail(in, picture.error());
  current_file = out;
  const auto written =
      length ? SaveFixedCycleAnimation(out, picture->width, picture->height, picture->pixels,
                                       picture->entries, picture->cycles, *length)
             : SaveCycleAnimation(out, picture->width, picture->height, picture->pixels,
                                  picture->entries, picture->cycles);
  // The file layer names OUT; a refusal is about IN's ranges.
  if (!written) return Fail(in, written.error());
  // The animation shows the first frame only.
  hw::SaveLoss frames;
  frames.frames = picture->extras.frames;
  WarnLoss(out, frames);
  return 0;
}

}  // namespace hw::cli
