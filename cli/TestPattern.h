// The moving test picture of `VantorRec --source testpattern`: a colour gradient, a
// white bar that moves across it, the frame number in large digits and the same number
// as a row of black and white blocks that survives compression, so a decoded frame
// tells which frame it was.
#pragma once
#include <cstdint>

#include "base/DibLayout.h"

namespace vantor {

// Draws frame nFrame as a DIB: bottom-up BGR rows of nStride bytes (padding zeroed).
void DrawTestPattern(std::uint8_t* pBits, std::int32_t nWidth, std::int32_t nHeight,
                     std::uint32_t nStride, std::uint32_t nFrame);

// Reads the frame number back from a picture in top-down BGR rows of nStride bytes
// (what a decoder gives). -1 when the code blocks cannot be read (a picture that is
// not the pattern, or too small to carry the code).
std::int64_t ReadTestPatternFrame(const std::uint8_t* pTopDown, std::int32_t nWidth,
                                  std::int32_t nHeight, std::uint32_t nStride);

}  // namespace vantor
