// The one copy a grabbed frame makes on its way to the encoder. The screen is copied
// into 32-bit rows (the X server's own pixel format under Wine, so the copy needs no
// conversion there); the encoder takes 24-bit rows. Turning one into the other while
// copying into the encoder's slot reads and writes each pixel once.
#pragma once
#include <cstdint>

namespace vantor {

// Writes the 24-bit rows of a frame (blue, green, red; each row padded with zero bytes
// to a multiple of 4) from its 32-bit rows (blue, green, red, unused), row for row in
// the same order. pSrc holds nHeight rows of 4 x nWidth bytes; pDst nHeight rows of
// DibRowBytes(nWidth). The two must not overlap.
void ConvertRows32To24(const std::uint8_t* pSrc, std::uint8_t* pDst, std::int32_t nWidth, std::int32_t nHeight);

}  // namespace vantor
