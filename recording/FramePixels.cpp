#include "recording/FramePixels.h"

#include <cstring>

#include "base/DibLayout.h"

namespace vantor {

namespace {

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// One row. Four pixels at a time become three 32-bit words (little-endian: the
// unused byte is the top one), which keeps the loop at whole-word loads and stores.
void ConvertRow(const std::uint8_t* pSrc, std::uint8_t* pDst, std::int32_t nWidth) {
  std::int32_t x = 0;
  for (; x + 4 <= nWidth; x += 4, pSrc += 16, pDst += 12) {
    const std::uint32_t p0 = Load32(pSrc) & 0x00FFFFFFu;
    const std::uint32_t p1 = Load32(pSrc + 4) & 0x00FFFFFFu;
    const std::uint32_t p2 = Load32(pSrc + 8) & 0x00FFFFFFu;
    const std::uint32_t p3 = Load32(pSrc + 12) & 0x00FFFFFFu;
    Store32(pDst, p0 | (p1 << 24));
    Store32(pDst + 4, (p1 >> 8) | (p2 << 16));
    Store32(pDst + 8, (p2 >> 16) | (p3 << 8));
  }
  for (; x < nWidth; ++x, pSrc += 4, pDst += 3) {
    pDst[0] = pSrc[0];
    pDst[1] = pSrc[1];
    pDst[2] = pSrc[2];
  }
}

}  // namespace

void ConvertRows32To24(const std::uint8_t* pSrc, std::uint8_t* pDst, std::int32_t nWidth, std::int32_t nHeight) {
  if (nWidth <= 0 || nHeight <= 0) return;
  const std::size_t nSrcStride = static_cast<std::size_t>(nWidth) * 4;
  const std::size_t nDstStride = static_cast<std::size_t>(DibRowBytes(nWidth));
  const std::size_t nPixelBytes = static_cast<std::size_t>(nWidth) * 3;
  for (std::int32_t y = 0; y < nHeight; ++y, pSrc += nSrcStride, pDst += nDstStride) {
    ConvertRow(pSrc, pDst, nWidth);
    // The pad must be zero: the slot is reused and the encoder's file must not carry
    // leftovers (the frames are compared byte for byte with the one-shot grab's).
    if (nDstStride > nPixelBytes) std::memset(pDst + nPixelBytes, 0, nDstStride - nPixelBytes);
  }
}

}  // namespace vantor
