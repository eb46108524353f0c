#include "recording/FramePixels.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <tmmintrin.h>
#endif

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

#if defined(__i386__) || defined(__x86_64__)
#define VANTOR_PIXELS_SSSE3 1
// Sixteen pixels at a time: each 16-byte load keeps its 12 colour bytes at the bottom
// (one shuffle), and three stores carry the four pieces. About three times the scalar
// loop's speed; SSSE3 is asked of the processor at run time (the 32-bit program is
// built for SSE2).
__attribute__((target("ssse3"))) std::int32_t ConvertRowSsse3(const std::uint8_t* pSrc, std::uint8_t* pDst,
                                                               std::int32_t nWidth) {
  const __m128i mask = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  std::int32_t x = 0;
  for (; x + 16 <= nWidth; x += 16, pSrc += 64, pDst += 48) {
    const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc)), mask);
    const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + 16)), mask);
    const __m128i c = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + 32)), mask);
    const __m128i d = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + 48)), mask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst), _mm_or_si128(a, _mm_slli_si128(b, 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + 16), _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + 32), _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
  }
  return x;
}

bool HasSsse3() {
  static const bool s_bHas = __builtin_cpu_supports("ssse3");
  return s_bHas;
}
#endif

}  // namespace

void ConvertRows32To24(const std::uint8_t* pSrc, std::uint8_t* pDst, std::int32_t nWidth, std::int32_t nHeight) {
  if (nWidth <= 0 || nHeight <= 0) return;
  const std::size_t nSrcStride = static_cast<std::size_t>(nWidth) * 4;
  const std::size_t nDstStride = static_cast<std::size_t>(DibRowBytes(nWidth));
  const std::size_t nPixelBytes = static_cast<std::size_t>(nWidth) * 3;
#if VANTOR_PIXELS_SSSE3
  const bool bSsse3 = HasSsse3();
#endif
  for (std::int32_t y = 0; y < nHeight; ++y, pSrc += nSrcStride, pDst += nDstStride) {
    std::int32_t x = 0;
#if VANTOR_PIXELS_SSSE3
    if (bSsse3) x = ConvertRowSsse3(pSrc, pDst, nWidth);
#endif
    ConvertRow(pSrc + 4u * x, pDst + 3u * x, nWidth - x);
    // The pad must be zero: the slot is reused and the encoder's file must not carry
    // leftovers (the frames are compared byte for byte with the one-shot grab's).
    if (nDstStride > nPixelBytes) std::memset(pDst + nPixelBytes, 0, nDstStride - nPixelBytes);
  }
}

}  // namespace vantor
