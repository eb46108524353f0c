#include "cli/TestPattern.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vantor {
namespace {

// The code: 20 bits of the frame number, most significant first, between a white start
// block and a black end block, each block kBlock pixels square, along the top edge.
constexpr int kCodeBits = 20;
constexpr int kBlock = 16;
constexpr int kCodeBlocks = kCodeBits + 2;

// 5 x 7 digits, one row per byte, bit 4 the leftmost pixel.
constexpr std::uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

struct Canvas {
  std::uint8_t* pBits;
  std::int32_t nWidth, nHeight;
  std::uint32_t nStride;

  // (x, y) from the top-left corner, as the picture is seen.
  void Fill(int x0, int y0, int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) const {
    const int x1 = std::min(nWidth, x0 + w), y1 = std::min(nHeight, y0 + h);
    x0 = std::max(0, x0);
    y0 = std::max(0, y0);
    for (int y = y0; y < y1; ++y) {
      std::uint8_t* p = pBits + static_cast<std::size_t>(nHeight - 1 - y) * nStride + 3u * x0;
      for (int x = x0; x < x1; ++x, p += 3) {
        p[0] = b;
        p[1] = g;
        p[2] = r;
      }
    }
  }
};

}  // namespace

void DrawTestPattern(std::uint8_t* pBits, std::int32_t nWidth, std::int32_t nHeight,
                     std::uint32_t nStride, std::uint32_t nFrame) {
  if (!pBits || nWidth <= 0 || nHeight <= 0) return;
  // Background: a smooth gradient that drifts slowly, so every frame changes a little
  // everywhere and predicted frames have real work to do. One row is built and copied,
  // tinted per row, so that drawing stays cheap next to encoding.
  static thread_local std::vector<std::uint8_t> row;
  row.assign(static_cast<std::size_t>(nWidth) * 3, 0);
  for (int x = 0; x < nWidth; ++x) {
    row[3 * x + 0] = static_cast<std::uint8_t>(60 + ((x + nFrame) % 256) * 120 / 256);
    row[3 * x + 2] = static_cast<std::uint8_t>(40 + x * 180 / nWidth);
  }
  int nTint = -1;
  for (int y = 0; y < nHeight; ++y) {
    std::uint8_t* pRow = pBits + static_cast<std::size_t>(nHeight - 1 - y) * nStride;
    const std::uint8_t g = static_cast<std::uint8_t>(40 + y * 160 / nHeight);
    // Neighbouring rows mostly share their tint: the row is retinted only when it
    // changes, which keeps the source cheap next to the encoder it feeds.
    if (g != nTint) {
      for (int x = 0; x < nWidth; ++x) row[3 * x + 1] = g;
      nTint = g;
    }
    std::memcpy(pRow, row.data(), row.size());
    std::memset(pRow + 3u * nWidth, 0, nStride - 3u * nWidth);
  }
  const Canvas c{pBits, nWidth, nHeight, nStride};

  // The bar crosses the picture in about four seconds at 30 frames per second.
  const int nBarWidth = std::max(4, nWidth / 24);
  const int nTravel = nWidth + nBarWidth;
  const int nBarX = static_cast<int>((static_cast<std::uint64_t>(nFrame) * std::max(2, nTravel / 120)) % nTravel) -
                    nBarWidth;
  c.Fill(nBarX, kBlock * 2, nBarWidth, nHeight - kBlock * 2, 235, 235, 235);

  // The code strip on a grey band.
  c.Fill(0, 0, nWidth, kBlock * 2, 128, 128, 128);
  for (int i = 0; i < kCodeBlocks; ++i) {
    bool bWhite;
    if (i == 0)
      bWhite = true;
    else if (i == kCodeBlocks - 1)
      bWhite = false;
    else
      bWhite = (nFrame >> (kCodeBits - i)) & 1u;
    const std::uint8_t v = bWhite ? 255 : 0;
    c.Fill(kBlock / 2 + i * kBlock, kBlock / 2, kBlock, kBlock, v, v, v);
  }

  // The number in digits, black on white, below the strip.
  const int nScale = std::max(2, nHeight / 90);
  char szNumber[16];
  int nDigits = 0;
  std::uint32_t n = nFrame;
  do {
    szNumber[nDigits++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n && nDigits < 10);
  const int nLeft = kBlock / 2, nTop = kBlock * 3;
  c.Fill(nLeft, nTop, (nDigits * 6 + 1) * nScale, 9 * nScale, 255, 255, 255);
  for (int d = 0; d < nDigits; ++d) {
    const std::uint8_t* pGlyph = kDigits[szNumber[nDigits - 1 - d] - '0'];
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (pGlyph[row] & (0x10 >> col))
          c.Fill(nLeft + (1 + d * 6 + col) * nScale, nTop + (1 + row) * nScale, nScale, nScale, 0, 0, 0);
  }
}

std::int64_t ReadTestPatternFrame(const std::uint8_t* pTopDown, std::int32_t nWidth,
                                  std::int32_t nHeight, std::uint32_t nStride) {
  if (!pTopDown || nWidth < kBlock * (kCodeBlocks + 1) || nHeight < kBlock * 2) return -1;
  auto level = [&](int i) {
    // The mean of the block's middle, away from edges blurred by compression.
    const int x0 = kBlock / 2 + i * kBlock + 4, y0 = kBlock / 2 + 4;
    unsigned nSum = 0;
    for (int y = y0; y < y0 + kBlock - 8; ++y)
      for (int x = x0; x < x0 + kBlock - 8; ++x) {
        const std::uint8_t* p = pTopDown + static_cast<std::size_t>(y) * nStride + 3u * x;
        nSum += p[0] + p[1] + p[2];
      }
    return nSum / ((kBlock - 8) * (kBlock - 8) * 3);
  };
  if (level(0) < 192 || level(kCodeBlocks - 1) > 64) return -1;
  std::int64_t nFrame = 0;
  for (int i = 1; i <= kCodeBits; ++i) {
    const unsigned v = level(i);
    if (v > 64 && v < 192) return -1;
    nFrame = (nFrame << 1) | (v >= 192 ? 1 : 0);
  }
  return nFrame;
}

}  // namespace vantor
