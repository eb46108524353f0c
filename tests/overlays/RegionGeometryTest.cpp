// The region selection's arithmetic and rules: the drag rectangle with its even sizes,
// the frame's bands, the label's text and place, and what a release, a click and Esc
// leave in the recording area.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "overlays/RegionGeometry.h"
#include "overlays/RegionSelection.h"

namespace vantor::test {
namespace {

std::string Text(const CaptureRect& rc) {
  return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
         std::to_string(rc.bottom);
}

TEST(overlays_RegionGeometry, NormalizeRectOrdersTheCorners) {
  CaptureRect rc = {104, 50, 100, 40};
  NormalizeRect(rc);
  EXPECT_EQ(Text(rc), "100,40,104,50");
  rc = {1, 9, 5, 3};
  NormalizeRect(rc);
  EXPECT_EQ(Text(rc), "1,3,5,9");
  rc = {7, 7, 7, 7};
  NormalizeRect(rc);
  EXPECT_EQ(Text(rc), "7,7,7,7");
}

TEST(overlays_RegionGeometry, DragRectangles) {
  struct Case {
    RegionPoint anchor, cursor;
    CaptureRect rc;
  } cases[] = {
      // Spans 5 and 4: 4 x 4 pixels from the anchor.
      {{100, 100}, {104, 103}, {100, 100, 103, 103}},
      // Leftwards on the anchor's row: 6 x 2, the anchor at the bottom-right.
      {{100, 100}, {96, 100}, {95, 99, 100, 100}},
      // Back onto the anchor: 2 x 2 whose bottom-right pixel is the anchor.
      {{100, 100}, {100, 100}, {99, 99, 100, 100}},
      // The bench's drag: 640 x 480 at (200, 150).
      {{200, 150}, {839, 629}, {200, 150, 839, 629}},
      {{200, 150}, {840, 630}, {200, 150, 839, 629}},
      // Up and to the left.
      {{100, 100}, {50, 60}, {49, 59, 100, 100}},
      {{100, 100}, {99, 99}, {99, 99, 100, 100}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Text(DragRectFor(c.anchor, c.cursor)), Text(c.rc)) << c.cursor.x << "," << c.cursor.y;
  }
}

TEST(overlays_RegionGeometry, EveryDragHasEvenSidesOfAtLeastTwoAndKeepsTheAnchor) {
  const RegionPoint anchor = {500, 300};
  for (int dy = -9; dy <= 9; ++dy)
    for (int dx = -9; dx <= 9; ++dx) {
      const CaptureRect rc = DragRectFor(anchor, {anchor.x + dx, anchor.y + dy});
      const int w = rc.right - rc.left + 1, h = rc.bottom - rc.top + 1;
      EXPECT_TRUE(w >= 2 && w % 2 == 0 && h >= 2 && h % 2 == 0) << dx << "," << dy << ": " << Text(rc);
      EXPECT_TRUE(rc.left == anchor.x || rc.right == anchor.x) << dx << "," << dy;
      EXPECT_TRUE(rc.top == anchor.y || rc.bottom == anchor.y) << dx << "," << dy;
      EXPECT_FALSE(IsEmptyRegionRect(rc));
    }
  // Far-off points do not wrap round.
  const CaptureRect far = DragRectFor({INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MIN});
  EXPECT_LE(far.left, far.right);
  EXPECT_LE(far.top, far.bottom);
}

TEST(overlays_RegionGeometry, EmptyRectangles) {
  EXPECT_TRUE(IsEmptyRegionRect({100, 100, 100, 100})) << "a click without a move";
  EXPECT_TRUE(IsEmptyRegionRect({100, 100, 100, 140}));
  EXPECT_TRUE(IsEmptyRegionRect({100, 100, 140, 100}));
  EXPECT_TRUE(IsEmptyRegionRect({100, 100, 90, 140}));
  EXPECT_FALSE(IsEmptyRegionRect({99, 99, 100, 100}));
}

bool InBand(const EdgeRect& b, int x, int y) { return x >= b.left && x < b.right && y >= b.top && y < b.bottom; }

TEST(overlays_RegionGeometry, FrameBandsOf640x480) {
  const RegionFrameBands b = RegionFrameBandsFor({200, 150, 839, 629});
  EXPECT_TRUE(b.top == (EdgeRect{200, 150, 839, 153}));
  EXPECT_TRUE(b.bottom == (EdgeRect{200, 626, 839, 629}));
  EXPECT_TRUE(b.left == (EdgeRect{200, 153, 203, 626}));
  EXPECT_TRUE(b.right == (EdgeRect{836, 153, 839, 626}));
}

// Every pixel of the frame is inverted exactly once and lies inside the half-open
// rectangle; from 6 x 6 pixels of it on, the frame is the whole 3-pixel ring.
TEST(overlays_RegionGeometry, FrameBandsNeverOverlapOrLeaveTheRectangle) {
  for (int w = 2; w <= 12; w += 2)
    for (int h = 2; h <= 12; h += 2) {
      const CaptureRect rc = {40, 30, 40 + w - 1, 30 + h - 1};
      const RegionFrameBands b = RegionFrameBandsFor(rc);
      for (int y = 20; y < 50; ++y)
        for (int x = 30; x < 60; ++x) {
          const int n = InBand(b.top, x, y) + InBand(b.bottom, x, y) + InBand(b.left, x, y) + InBand(b.right, x, y);
          const bool inside = x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
          const bool ring = inside && (x < rc.left + 3 || x >= rc.right - 3 || y < rc.top + 3 || y >= rc.bottom - 3);
          ASSERT_LE(n, inside ? 1 : 0) << w << "x" << h << " at " << x << "," << y;
          ASSERT_EQ(n == 1, ring) << w << "x" << h << " at " << x << "," << y;
        }
    }
  // 2 x 2: one pixel, in the top band; 4 x 4: the top band is all of the 3 x 3.
  const RegionFrameBands b2 = RegionFrameBandsFor({99, 99, 100, 100});
  EXPECT_TRUE(b2.top == (EdgeRect{99, 99, 100, 100}));
  EXPECT_TRUE(IsEmptyBand(b2.bottom) && IsEmptyBand(b2.left) && IsEmptyBand(b2.right));
  const RegionFrameBands b4 = RegionFrameBandsFor({100, 100, 103, 103});
  EXPECT_TRUE(b4.top == (EdgeRect{100, 100, 103, 103}));
  EXPECT_TRUE(IsEmptyBand(b4.bottom) && IsEmptyBand(b4.left) && IsEmptyBand(b4.right));
}

TEST(overlays_RegionGeometry, LabelText) {
  EXPECT_EQ(RegionLabelText({200, 150, 839, 629}), "X : 200  Y : 150  W : 640  H : 480");
  EXPECT_EQ(RegionLabelText(DragRectFor({100, 100}, {104, 103})), "X : 100  Y : 100  W : 4  H : 4");
  EXPECT_EQ(RegionLabelText({-20, -4, 5, 7}), "X : -20  Y : -4  W : 26  H : 12");
}

TEST(overlays_RegionGeometry, LabelAboveWhenThereIsRoomElseBelow) {
  const int cx = 190, cy = 13;
  struct Case {
    CaptureRect rc;
    int nTextY;
  } cases[] = {
      {{200, 150, 839, 629}, 150 - 13 - 5},  // above
      {{200, 18, 839, 629}, 0},              // just room above
      {{200, 17, 839, 629}, 629 + 5},        // too near the top edge: below
      {{200, 0, 839, 99}, 99 + 5},
  };
  for (const Case& c : cases) {
    const RegionLabelPlace p = RegionLabelPlaceFor(c.rc, cx, cy);
    EXPECT_EQ(p.nTextY, c.nTextY) << Text(c.rc);
    EXPECT_EQ(p.nTextX, c.rc.left + 10);
    // The box: from (left + 6, y - 4), text width + 8 across, text height + 8 down.
    EXPECT_TRUE(p.box == (EdgeRect{c.rc.left + 6, c.nTextY - 4, c.rc.left + cx + 14, c.nTextY + cy + 4})) << Text(c.rc);
    // Never over the rectangle's frame.
    EXPECT_TRUE(p.box.bottom < c.rc.top || p.box.top > c.rc.bottom) << Text(c.rc);
  }
}

class overlays_RegionSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    g_AnchorPoint = {};
    g_DragRect = g_LastRect = {};
    g_Dragging = 0;
  }
  // A drag from a to b through the messages' rules; the capture area rcCapture.
  void Drag(RegionPoint a, RegionPoint b) {
    BeginRegionDrag(a);
    EXPECT_EQ(g_Dragging, 1);
    EXPECT_TRUE(FollowRegionDrag({(a.x + b.x) / 2, (a.y + b.y) / 2}));
    EXPECT_TRUE(FollowRegionDrag(b));
  }
  CaptureRect rcCapture = {10, 20, 329, 259};
};

TEST_F(overlays_RegionSelection, ReleaseStoresTheDraggedRectangle) {
  Drag({200, 150}, {839, 629});
  EXPECT_TRUE(EndRegionDrag(rcCapture));
  EXPECT_EQ(Text(rcCapture), "200,150,839,629");
  EXPECT_EQ(Text(g_LastRect), "200,150,839,629");
  EXPECT_EQ(g_Dragging, 0);
  // Dragged leftwards and up: stored in order.
  Drag({100, 100}, {96, 100});
  EXPECT_TRUE(EndRegionDrag(rcCapture));
  EXPECT_EQ(Text(rcCapture), "95,99,100,100");
}

TEST_F(overlays_RegionSelection, EscAndClicksKeepTheRecordingArea) {
  // Esc during a drag.
  Drag({300, 300}, {500, 450});
  CancelRegionDrag();
  EXPECT_EQ(g_Dragging, 0);
  EXPECT_EQ(Text(rcCapture), "10,20,329,259");
  EXPECT_EQ(Text(g_LastRect), "300,300,499,449");
  // A stray button-up after Esc (its button-down never came) stores nothing, not even
  // the rectangle just cancelled.
  EXPECT_FALSE(EndRegionDrag(rcCapture));
  EXPECT_EQ(Text(rcCapture), "10,20,329,259");
  // Moves without a drag change nothing.
  EXPECT_FALSE(FollowRegionDrag({900, 900}));
  EXPECT_EQ(Text(g_LastRect), "300,300,499,449");
  // A click without a move: a single point, empty, so the area stays.
  BeginRegionDrag({640, 360});
  EXPECT_TRUE(EndRegionDrag(rcCapture));
  EXPECT_EQ(Text(rcCapture), "10,20,329,259");
  EXPECT_EQ(Text(g_LastRect), "640,360,640,360");
}

}  // namespace
}  // namespace vantor::test
