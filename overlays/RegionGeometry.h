// The arithmetic of the region selection: the rectangle a drag makes (even sizes, corners
// in order), the four inverted bands of its hatch frame and where its position label
// goes. Portable, so that the numbers are checked everywhere; RegionWindowWin32.cpp
// draws them.
#pragma once
#include <cstdint>
#include <string>

#include "base/CaptureRect.h"
#include "overlays/BorderGeometry.h"

namespace vantor {

// A screen point (the cursor's position).
struct RegionPoint {
  std::int32_t x;
  std::int32_t y;
};

// Swaps left with right and top with bottom where needed, so that left <= right and
// top <= bottom.
void NormalizeRect(CaptureRect& rc);

// The whole screen of nWidth x nHeight pixels as a recording area (inclusive corners):
// what the full-screen choice records.
CaptureRect WholeScreenRect(std::int32_t nWidth, std::int32_t nHeight);

// A rectangle with nothing in it for the selection: right <= left or bottom <= top. A
// single point (a click without a move) is empty, as the frame draws the half-open
// rectangle from (left, top) to (right, bottom).
bool IsEmptyRegionRect(const CaptureRect& rc);

// The rectangle of a drag from ptAnchor to ptCursor, normalised. A span that would be
// odd loses the cursor's last column or row, so width and height (right - left + 1,
// bottom - top + 1) are always even and at least 2: a drag back onto the anchor gives
// 2 x 2 pixels whose bottom-right pixel is the anchor.
CaptureRect DragRectFor(RegionPoint ptAnchor, RegionPoint ptCursor);

// The frame: four bands, 3 pixels thick, inside the half-open rectangle from (left,
// top) to (right, bottom): top and bottom over the full width, left and right between
// them. Inverted once to draw and once more to erase. On rectangles too small for four
// whole bands they are cut so that none overlaps another or leaves the rectangle: a
// pixel inverted twice would be no frame at all, and one outside would be left for the
// next rectangle's frame to meet.
constexpr std::int32_t kRegionBandThickness = 3;
struct RegionFrameBands {
  EdgeRect top;
  EdgeRect bottom;
  EdgeRect left;
  EdgeRect right;
};
RegionFrameBands RegionFrameBandsFor(const CaptureRect& rc);
// A band with no pixels (some of a small rectangle's are).
bool IsEmptyBand(const EdgeRect& band);

// The label's text: position and size, "X : 100  Y : 100  W : 4  H : 4".
std::string RegionLabelText(const CaptureRect& rc);

// Where the label of a text nTextWidth x nTextHeight pixels goes: above the rectangle
// when there is room for it between the rectangle and the screen's top edge, else below.
struct RegionLabelPlace {
  std::int32_t nTextX;  // where the text starts
  std::int32_t nTextY;
  EdgeRect box;  // the rounded box behind the text; its pixels are saved and restored
};
// The gap between the rectangle and the text, the box's left edge from the rectangle's
// left, and the box's margin round the text.
constexpr std::int32_t kRegionLabelGap = 5;
constexpr std::int32_t kRegionLabelIndent = 6;
constexpr std::int32_t kRegionLabelMargin = 4;
RegionLabelPlace RegionLabelPlaceFor(const CaptureRect& rc, std::int32_t nTextWidth, std::int32_t nTextHeight);

}  // namespace vantor
