// The widget kit's arithmetic: where an image button's parts go, which cell of a state
// strip is drawn, and the skin's colours.
#include <gtest/gtest.h>

#include "widgets/WidgetGeometry.h"

namespace vantor {
namespace {

TEST(widgets_Geometry, IconAboveCentresTheIconAndCaptionAsOneBlock) {
  // The main window's command buttons: 54 x 47 pixels, a 24-pixel icon, 14-pixel text.
  const ImageButtonLayout layout = LayoutIconAbove({10, 20, 64, 67}, 24, 14, 2);
  EXPECT_EQ(layout.icon, (WidgetRect{25, 23, 49, 47}));
  EXPECT_EQ(layout.caption, (WidgetRect{10, 49, 64, 63}));
}

TEST(widgets_Geometry, IconAboveInALowButtonKeepsTheIconAtTheTopAndCutsTheCaption) {
  const ImageButtonLayout layout = LayoutIconAbove({0, 0, 40, 30}, 24, 14, 2);
  EXPECT_EQ(layout.icon.top, 0);
  EXPECT_EQ(layout.caption.top, 26);
  EXPECT_EQ(layout.caption.bottom, 30);
  // Lower than the icon itself: the caption gets nothing, never a negative height.
  const ImageButtonLayout tiny = LayoutIconAbove({0, 0, 40, 20}, 24, 14, 2);
  EXPECT_EQ(tiny.caption.Height(), 0);
}

TEST(widgets_Geometry, IconLeftPutsTheCaptionAfterTheIcon) {
  const ImageButtonLayout layout = LayoutIconLeft({0, 0, 100, 30}, 16, 2);
  EXPECT_EQ(layout.icon, (WidgetRect{2, 7, 18, 23}));
  EXPECT_EQ(layout.caption, (WidgetRect{20, 0, 100, 30}));
}

TEST(widgets_Geometry, StripCellsAreEqualThirdsAndAStrayStateGivesTheFirst) {
  EXPECT_EQ(StripCell(72, 14, 3, 0), (WidgetRect{0, 0, 24, 14}));
  EXPECT_EQ(StripCell(72, 14, 3, 1), (WidgetRect{24, 0, 48, 14}));
  EXPECT_EQ(StripCell(72, 14, 3, 2), (WidgetRect{48, 0, 72, 14}));
  EXPECT_EQ(StripCell(72, 14, 3, 3), (WidgetRect{0, 0, 24, 14}));
  EXPECT_EQ(StripCell(72, 14, 3, -1), (WidgetRect{0, 0, 24, 14}));
  // No state count: the whole picture is the one cell.
  EXPECT_EQ(StripCell(72, 14, 0, 0), (WidgetRect{0, 0, 72, 14}));
}

TEST(widgets_Geometry, CentredCellMaySpillOverASmallControl) {
  EXPECT_EQ(CentredIn({0, 0, 40, 16}, 24, 14), (WidgetRect{8, 1, 32, 15}));
  EXPECT_EQ(CentredIn({0, 0, 20, 10}, 24, 14), (WidgetRect{-2, -2, 22, 12}));
}

TEST(widgets_Geometry, SkinRunsFromTopToBottomColourAndStaysInsideThem) {
  EXPECT_EQ(SkinColourAt(0, 300), kSkinTop);
  EXPECT_EQ(SkinColourAt(299, 300), kSkinBottom);
  // Rows outside the skin take its nearest end; a one-row skin is its top colour.
  EXPECT_EQ(SkinColourAt(-5, 300), kSkinTop);
  EXPECT_EQ(SkinColourAt(400, 300), kSkinBottom);
  EXPECT_EQ(SkinColourAt(0, 1), kSkinTop);
  EXPECT_EQ(SkinColourAt(0, 0), kSkinTop);
  // Every row lies between the two ends and the blend never turns back.
  WidgetColour previous = kSkinTop;
  for (int y = 0; y < 300; ++y) {
    const WidgetColour c = SkinColourAt(y, 300);
    EXPECT_LE(c.r, previous.r);
    EXPECT_LE(c.g, previous.g);
    EXPECT_LE(c.b, previous.b);
    EXPECT_GE(c.b, kSkinBottom.b);
    previous = c;
  }
}

}  // namespace
}  // namespace vantor
