// The ILBM plane kernels: a row of bit planes to a row of pixels and back, with an
// SSE2 path for the common plane counts and a plain one the tests check it against.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hw {

// Plane rows to pixels and back, one row: `planes` rows of `row_bytes` bytes each,
// plane 0 first (its bits the lowest of each index), the leftmost pixel in each
// byte's top bit. PlanesToPixels writes `width` pixels; the bits of planes not
// given are zero. PlanesToPixelsPlain is the bit-by-bit reference the tests check
// the fast path against.
void PlanesToPixels(const uint8_t* planes, int plane_count, size_t row_bytes, int width,
                    uint8_t* pixels);
void PlanesToPixelsPlain(const uint8_t* planes, int plane_count, size_t row_bytes, int width,
                         uint8_t* pixels);
// Writes 8 plane rows of row_bytes from `width` pixels (the padding bits are zero).
void PixelsToPlanes(const uint8_t* pixels, int width, size_t row_bytes, uint8_t* planes);

}  // namespace hw
