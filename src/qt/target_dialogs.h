// The two small dialogs of "Target Hardware": bits per channel, and a list of
// levels per channel for hardware whose levels are not evenly spaced.
#pragma once

#include <optional>

#include "colour/target.h"

class QWidget;

namespace hw {

// "R-G-B bits...": three numbers 1..8 written R-G-B; nullopt when cancelled.
std::optional<ColourTarget> AskTargetBits(QWidget* parent, const ColourTarget& now);
// "Custom levels...": a comma-separated list of levels, 0..255 ascending, for each
// channel (starting on the target's own); nullopt when cancelled.
std::optional<ColourTarget> AskCustomLevels(QWidget* parent, const ColourTarget& now);

}  // namespace hw
