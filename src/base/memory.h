// Large buffers: advice to the kernel about memory that is about to be filled.
#pragma once

#include <cstddef>

namespace hw {

// Asks for huge pages behind a large buffer that is about to be filled: first
// touches of fresh memory then fault a few times instead of once per 4 KiB page.
// Only advice; nothing depends on it being followed.
void AdviseHugePages(void* data, size_t size);

}  // namespace hw
