// The border's geometry: the corner marks' region for a 640 x 480 area, the marks'
// thickness and arm lengths, small areas, the paint rectangle, and moves kept on the
// screen at their size.
#include <gtest/gtest.h>

#include <climits>

#include "overlays/BorderGeometry.h"

namespace vantor::test {
namespace {

const CaptureRect k640At100 = {100, 100, 739, 579};

TEST(overlays_BorderGeometry, RegionOfA640x480AreaAt100) {
  EXPECT_TRUE(AreaFromOrigin(100, 100, 640, 480) == k640At100);
  const BorderRegion r = BorderRegionFor(k640At100);
  EXPECT_TRUE(r.outer == (EdgeRect{92, 92, 747, 587}));
  EXPECT_TRUE(r.inner == (EdgeRect{100, 100, 740, 580}));
  EXPECT_TRUE(r.verticalBand == (EdgeRect{92, 116, 747, 560}));
  EXPECT_TRUE(r.horizontalBand == (EdgeRect{116, 92, 720, 587}));
  EXPECT_TRUE(r.bHasVerticalBand);
  EXPECT_TRUE(r.bHasHorizontalBand);
}

// The marks' shape pixel by pixel, read from the region.
TEST(overlays_BorderGeometry, FourLShapedMarks) {
  const BorderRegion r = BorderRegionFor(k640At100);
  auto in = [&](int x, int y) { return BorderRegionContains(r, x, y); };
  // Columns 92 to 746 and rows 92 to 586, nothing inside the area.
  EXPECT_TRUE(in(92, 92));
  EXPECT_TRUE(in(746, 586));
  EXPECT_FALSE(in(91, 92));
  EXPECT_FALSE(in(747, 586));
  EXPECT_FALSE(in(746, 587));
  for (int x : {100, 400, 739})
    for (int y : {100, 300, 579}) EXPECT_FALSE(in(x, y)) << x << "," << y;

  // Thickness: 8 on the left and top, 7 on the right and bottom.
  auto run = [&](int x, int y, int dx, int dy) {
    int n = 0;
    while (in(x + n * dx, y + n * dy)) ++n;
    return n;
  };
  EXPECT_EQ(run(92, 110, 1, 0), 8);     // left side, along a row
  EXPECT_EQ(run(110, 92, 0, 1), 8);     // top side
  EXPECT_EQ(run(746, 110, -1, 0), 7);   // right side
  EXPECT_EQ(run(110, 586, 0, -1), 7);   // bottom side
  // Arms measured from each mark's outer corner: 24 from the left or top edge, 27
  // from the right or bottom one.
  EXPECT_EQ(run(92, 92, 1, 0), 24);    // top-left, across
  EXPECT_EQ(run(92, 92, 0, 1), 24);    // top-left, down
  EXPECT_EQ(run(746, 92, -1, 0), 27);  // top-right, across
  EXPECT_EQ(run(746, 92, 0, 1), 24);   // top-right, down
  EXPECT_EQ(run(92, 586, 1, 0), 24);   // bottom-left, across
  EXPECT_EQ(run(92, 586, 0, -1), 27);  // bottom-left, up
  EXPECT_EQ(run(746, 586, -1, 0), 27); // bottom-right, across
  EXPECT_EQ(run(746, 586, 0, -1), 27); // bottom-right, up
  // The open middles: rows 116 to 559 at the sides, columns 116 to 719 above and below.
  EXPECT_TRUE(in(92, 115));
  EXPECT_FALSE(in(92, 116));
  EXPECT_FALSE(in(92, 559));
  EXPECT_TRUE(in(92, 560));
  EXPECT_TRUE(in(115, 92));
  EXPECT_FALSE(in(116, 92));
  EXPECT_FALSE(in(719, 586));
  EXPECT_TRUE(in(720, 586));

  int nPixels = 0;
  for (int y = 80; y < 600; ++y)
    for (int x = 80; x < 760; ++x) nPixels += in(x, y);
  // Top-left 8x24 + 16x8, top-right 8x27 + 16x7 ... counted once: each mark is two arms
  // less their shared corner.
  const int nTopLeft = 24 * 8 + 24 * 8 - 8 * 8;
  const int nTopRight = 27 * 8 + 24 * 7 - 8 * 7;
  const int nBottomLeft = 24 * 7 + 27 * 8 - 8 * 7;
  const int nBottomRight = 27 * 7 + 27 * 7 - 7 * 7;
  EXPECT_EQ(nPixels, nTopLeft + nTopRight + nBottomLeft + nBottomRight);
}

TEST(overlays_BorderGeometry, RegionInWindowCoordinates) {
  // The window's own corner at (50, 20): everything moves by that much.
  const BorderRegion r = BorderRegionFor(k640At100, 50, 20);
  EXPECT_TRUE(r.outer == (EdgeRect{42, 72, 697, 567}));
  EXPECT_TRUE(r.inner == (EdgeRect{50, 80, 690, 560}));
  // A window at the area's outer corner starts its region at (0, 0).
  const BorderRegion r0 = BorderRegionFor(k640At100, 92, 92);
  EXPECT_TRUE(r0.outer == (EdgeRect{0, 0, 655, 495}));
  EXPECT_TRUE(r0.verticalBand == (EdgeRect{0, 24, 655, 468}));
  EXPECT_TRUE(r0.horizontalBand == (EdgeRect{24, 0, 628, 495}));
}

TEST(overlays_BorderGeometry, SmallAreasAreFramedWhole) {
  struct Case {
    int nWidth, nHeight;
    bool bVertical, bHorizontal;
  } cases[] = {{37, 37, true, true}, {36, 100, true, false}, {100, 36, false, true}, {36, 36, false, false},
               {2, 2, false, false}, {1, 1, false, false}};
  for (const Case& c : cases) {
    const CaptureRect area = AreaFromOrigin(200, 200, c.nWidth, c.nHeight);
    const BorderRegion r = BorderRegionFor(area);
    EXPECT_EQ(r.bHasVerticalBand, c.bVertical) << c.nWidth << "x" << c.nHeight;
    EXPECT_EQ(r.bHasHorizontalBand, c.bHorizontal) << c.nWidth << "x" << c.nHeight;
    // Whatever the size: the frame stays outside the area and surrounds it at the corners.
    for (int y = area.top; y <= area.bottom; ++y)
      for (int x = area.left; x <= area.right; ++x) ASSERT_FALSE(BorderRegionContains(r, x, y));
    EXPECT_TRUE(BorderRegionContains(r, area.left - 8, area.top - 8));
    EXPECT_TRUE(BorderRegionContains(r, area.right + 7, area.bottom + 7));
    if (!c.bHorizontal) {
      EXPECT_TRUE(BorderRegionContains(r, (area.left + area.right) / 2, area.top - 1));
    }
  }
  // 37 pixels wide: a one-column opening at the top and bottom.
  const BorderRegion r = BorderRegionFor(AreaFromOrigin(200, 200, 37, 37));
  EXPECT_TRUE(r.horizontalBand == (EdgeRect{216, 192, 217, 244}));
}

TEST(overlays_BorderGeometry, PaintRectangle) {
  EXPECT_TRUE(BorderPaintRect(k640At100) == (EdgeRect{92, 92, 747, 587}));
  EXPECT_TRUE(IsPaintableArea(k640At100));
  EXPECT_FALSE(IsPaintableArea({0, 0, 0, 0})) << "the state after construction";
  EXPECT_FALSE(IsPaintableArea({10, 10, 10, 50}));
  EXPECT_FALSE(IsPaintableArea({10, 10, 50, 10}));
  EXPECT_FALSE(IsPaintableArea({10, 10, 5, 50}));
}

TEST(overlays_BorderGeometry, MovesStayOnTheScreenAtTheirSize) {
  struct Case {
    CaptureRect area;
    int dx, dy;
    CaptureRect moved;
  } cases[] = {
      // Dragging by (-50, 0) when the left is 30: left 0, width unchanged.
      {{30, 100, 669, 579}, -50, 0, {0, 100, 639, 579}},
      // (+1000, +1000) on 1920 x 1080 with a 640 x 480 area: right 1919, bottom 1079.
      {{400, 100, 1039, 579}, 1000, 1000, {1280, 600, 1919, 1079}},
      {{100, 100, 739, 579}, 1000, 1000, {1100, 600, 1739, 1079}},
      {{100, 100, 739, 579}, 0, -500, {100, 0, 739, 479}},
      {{100, 100, 739, 579}, -101, -101, {0, 0, 639, 479}},
      {{100, 100, 739, 579}, 1180, 0, {1280, 100, 1919, 579}},
      {{100, 100, 739, 579}, 0, 501, {100, 600, 739, 1079}},
      // Within the screen: a plain shift; a click without a move changes nothing.
      {{100, 100, 739, 579}, 25, -7, {125, 93, 764, 572}},
      {{100, 100, 739, 579}, 0, 0, {100, 100, 739, 579}},
      // An area as large as the screen cannot move.
      {{0, 0, 1919, 1079}, 300, -200, {0, 0, 1919, 1079}},
      // Larger than the screen: it ends at the right and bottom edges.
      {{0, 0, 2019, 1179}, 50, 50, {-100, -100, 1919, 1079}},
      // Far-off drags do not wrap round.
      {{100, 100, 739, 579}, INT_MAX, INT_MIN, {1280, 0, 1919, 479}},
  };
  for (const Case& c : cases) {
    const CaptureRect m = MoveAreaWithin(c.area, c.dx, c.dy, 1920, 1080);
    EXPECT_TRUE(m == c.moved) << c.dx << "," << c.dy << " gave " << m.left << "," << m.top << "," << m.right << ","
                              << m.bottom;
    EXPECT_EQ(m.right - m.left, c.area.right - c.area.left);
    EXPECT_EQ(m.bottom - m.top, c.area.bottom - c.area.top);
  }
}

}  // namespace
}  // namespace vantor::test
