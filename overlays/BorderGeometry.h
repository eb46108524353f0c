// The geometry of the recording border: the four L-shaped corner marks just outside
// the recorded area that make up the border window's region, the rectangle its paint
// fills, and where a dragged area ends up on the screen. Portable, so that the numbers
// are checked everywhere; FlashingWnd.cpp turns them into regions.
#pragma once
#include <cstdint>

#include "base/CaptureRect.h"

namespace vantor {

// A rectangle as regions take it: right and bottom exclusive.
struct EdgeRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

inline bool operator==(const EdgeRect& a, const EdgeRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Thickness of the marks outside the area (the right and bottom marks are one pixel
// thinner, since the area's right and bottom are inclusive), and the length of a mark's
// arms measured from the outer edge they start at: left and top, right and bottom.
constexpr std::int32_t kBorderThickness = 8;
constexpr std::int32_t kBorderNearArm = 24;
constexpr std::int32_t kBorderFarArm = 27;

// The marks' region: the outer rectangle less the area itself and less two bands that
// open the middles of the sides. For an area 36 pixels wide or high or less a band
// would be empty or turned inside out; it is then left out (bHas... false), so that
// those sides are framed whole instead of being cut in odd places.
struct BorderRegion {
  EdgeRect outer;
  EdgeRect inner;
  EdgeRect verticalBand;    // opens the middle of the left and right sides
  EdgeRect horizontalBand;  // opens the middle of the top and bottom sides
  bool bHasVerticalBand;
  bool bHasHorizontalBand;
};

// The region for an area in window coordinates, for a window whose top-left corner
// lies at (nOriginX, nOriginY) of the screen.
BorderRegion BorderRegionFor(const CaptureRect& area, std::int32_t nOriginX = 0, std::int32_t nOriginY = 0);

// Whether the pixel (x, y) belongs to the region (same coordinates as the region).
bool BorderRegionContains(const BorderRegion& region, std::int32_t x, std::int32_t y);

// The rectangle PaintBorder fills (screen coordinates); the region clips it to the marks.
EdgeRect BorderPaintRect(const CaptureRect& area);
// Only an area with right > left and bottom > top is painted.
bool IsPaintableArea(const CaptureRect& area);

// The area of nWidth x nHeight pixels whose first pixel is (nLeft, nTop).
CaptureRect AreaFromOrigin(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight);

// The area shifted by (dx, dy) and pushed back onto a screen of nScreenWidth x
// nScreenHeight pixels: its size never changes. The left and top edges are tried
// first, then the right and bottom ones, so an area wider or higher than the screen
// ends at the screen's right or bottom edge.
CaptureRect MoveAreaWithin(const CaptureRect& area, std::int32_t dx, std::int32_t dy, std::int32_t nScreenWidth,
                           std::int32_t nScreenHeight);

}  // namespace vantor
