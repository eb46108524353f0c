// The row size of a device-independent bitmap: the one formula for every frame the
// grabber, the test pattern, the encoder thread and the recorder handle.
#pragma once
#include <cstdint>

namespace vantor {

// Bytes of one row at nBitsPerPixel, padded to a whole 32-bit word. Exact for every
// width: callers check that what they allocate from it fits their sizes.
constexpr std::int64_t DibStride(std::int32_t nWidth, std::int32_t nBitsPerPixel) {
  return ((static_cast<std::int64_t>(nBitsPerPixel) * nWidth + 31) / 32) * 4;
}

// Bytes of one row of the 24-bit frames a recording carries.
constexpr std::int64_t DibRowBytes(std::int32_t nWidth) { return DibStride(nWidth, 24); }

}  // namespace vantor
