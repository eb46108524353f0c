// The frame block's arithmetic: rows padded to whole 32-bit words, the colour table,
// the pixel offset, and sizes that cannot be allocated.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vantor::test
