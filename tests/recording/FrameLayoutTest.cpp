// The frame block's arithmetic: rows padded to whole 32-bit words, the colour table,
// the pixel offset, and sizes that cannot be allocated; the one copy that turns the
// grab's 32-bit rows into the frame's 24-bit ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "recording/FramePixels.h"
#include "recording/ScreenGrabberLayout.h"

namespace vantor::test {
namespace {

TEST(recording_FrameLayout, RowsArePaddedToFourBytes) {
  struct Case {
    int nWidth, nBits;
    std::int64_t nStride;
  } cases[] = {
      {1, 24, 4}, {2, 24, 8}, {3, 24, 12}, {4, 24, 12}, {5, 24, 16}, {640, 24, 1920}, {641, 24, 1924},
      {1, 8, 4},  {5, 8, 8},  {1, 1, 4},   {33, 1, 8},  {1, 32, 4},  {3, 16, 8},
  };
  for (const Case& c : cases) EXPECT_EQ(DibStride(c.nWidth, c.nBits), c.nStride) << c.nWidth << "x" << c.nBits;
}

TEST(recording_FrameLayout, A640x480FrameBlock) {
  const FrameLayout layout = ComputeFrameLayout(640, 480, 24);
  ASSERT_TRUE(layout.bValid);
  EXPECT_EQ(layout.nImageBytes, 921600u);
  EXPECT_EQ(layout.nBlockBytes, 921640u);
  EXPECT_EQ(layout.nColorEntries, 0u);
  EXPECT_EQ(layout.nPixelOffset, 40u);

  const BitmapInfoHeader h = MakeFrameHeader(640, 480, 24, layout);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 640);
  EXPECT_EQ(h.biHeight, 480) << "positive: bottom-up rows";
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biSizeImage, 921600u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biClrImportant, 0u);
  EXPECT_EQ(FramePixelOffset(h), 40u);
}

TEST(recording_FrameLayout, ColourTablesUpToEightBits) {
  struct Case {
    int nBits;
    unsigned nEntries;
  } cases[] = {{1, 2}, {4, 16}, {8, 256}, {16, 0}, {24, 0}, {32, 0}};
  for (const Case& c : cases) {
    const FrameLayout layout = ComputeFrameLayout(10, 10, c.nBits);
    EXPECT_EQ(layout.nColorEntries, c.nEntries) << c.nBits;
    EXPECT_EQ(layout.nPixelOffset, 40 + 4 * c.nEntries) << c.nBits;
    EXPECT_EQ(layout.nBlockBytes, layout.nPixelOffset + layout.nImageBytes) << c.nBits;
    EXPECT_EQ(FramePixelOffset(MakeFrameHeader(10, 10, c.nBits, layout)), layout.nPixelOffset);
  }
}

TEST(recording_FrameLayout, SizesThatCannotBeAllocatedAreInvalid) {
  EXPECT_FALSE(ComputeFrameLayout(0, 10, 24).bValid);
  EXPECT_FALSE(ComputeFrameLayout(10, 0, 24).bValid);
  EXPECT_FALSE(ComputeFrameLayout(-5, 10, 24).bValid);
  EXPECT_FALSE(ComputeFrameLayout(10, 10, 0).bValid);
  // 40,000 x 20,000 at 3 bytes would overflow the header's 32-bit image size.
  EXPECT_FALSE(ComputeFrameLayout(40000, 20000, 24).bValid);
  EXPECT_TRUE(ComputeFrameLayout(8192, 8192, 24).bValid);
}

// Widths around the four- and sixteen-pixel blocks cover each remainder and each row
// pad; the slot starts full of leftovers, which must not survive in the pad.
TEST(recording_FramePixels, ThirtyTwoBitRowsBecomeTheFramesRows) {
  for (int nWidth : {1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 15, 16, 17, 19, 31, 32, 33, 47, 48, 50, 641}) {
    const int nHeight = 3;
    std::vector<std::uint8_t> src(static_cast<std::size_t>(nWidth) * 4 * nHeight);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const std::size_t nStride = static_cast<std::size_t>(DibRowBytes(nWidth));
    std::vector<std::uint8_t> dst(nStride * nHeight + 8, 0xEE);
    ConvertRows32To24(src.data(), dst.data(), nWidth, nHeight);
    for (int y = 0; y < nHeight; ++y) {
      for (int x = 0; x < nWidth; ++x)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(dst[y * nStride + 3 * x + c], src[(static_cast<std::size_t>(y) * nWidth + x) * 4 + c])
              << "width " << nWidth << " pixel " << x << "," << y << " byte " << c;
      for (std::size_t i = 3u * nWidth; i < nStride; ++i)
        EXPECT_EQ(dst[y * nStride + i], 0) << "width " << nWidth << " row " << y << " pad byte " << i;
    }
    for (std::size_t i = nStride * nHeight; i < dst.size(); ++i)
      EXPECT_EQ(dst[i], 0xEE) << "width " << nWidth << ": written past the frame";
  }
}

}  // namespace
}  // namespace vantor::test
