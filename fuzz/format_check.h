// The outcome of feeding one input to a reader, for the fuzz targets and the corpus
// replay test.
#pragma once

#include <string>

namespace hw::fuzzing {

struct FormatCheck {
  bool decoded = false;   // the reader accepted the input
  std::string refusal;    // its message when it refused
  std::string violation;  // first broken property, empty when all hold
};

}  // namespace hw::fuzzing
