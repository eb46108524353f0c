#include "overlays/RegionGeometry.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vantor {

namespace {

// Coordinates near the 32-bit limits must not wrap when a few pixels are added.
std::int32_t Clamp32(std::int64_t n) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, INT32_MIN, INT32_MAX));
}

bool IsOdd(std::int64_t n) { return n % 2 != 0; }

}  // namespace

CaptureRect WholeScreenRect(std::int32_t nWidth, std::int32_t nHeight) {
  return {0, 0, nWidth - 1, nHeight - 1};
}

void NormalizeRect(CaptureRect& rc) {
  if (rc.left > rc.right) std::swap(rc.left, rc.right);
  if (rc.top > rc.bottom) std::swap(rc.top, rc.bottom);
}

bool IsEmptyRegionRect(const CaptureRect& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

CaptureRect DragRectFor(RegionPoint ptAnchor, RegionPoint ptCursor) {
  std::int64_t nRight = ptCursor.x, nBottom = ptCursor.y;
  // The span counted from the anchor to the cursor, both included, signed: odd on
  // either side of the anchor loses the cursor's column or row.
  if (IsOdd(static_cast<std::int64_t>(ptCursor.x) - ptAnchor.x + 1)) nRight = nRight - 1;
  if (IsOdd(static_cast<std::int64_t>(ptCursor.y) - ptAnchor.y + 1)) nBottom = nBottom - 1;
  CaptureRect rc = {ptAnchor.x, ptAnchor.y, Clamp32(nRight), Clamp32(nBottom)};
  NormalizeRect(rc);
  return rc;
}

RegionFrameBands RegionFrameBandsFor(const CaptureRect& rc) {
  const std::int64_t l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;
  const std::int64_t n = kRegionBandThickness;
  // Rows between the top and bottom bands, for the side bands.
  const std::int64_t nInnerTop = t + n, nInnerBottom = std::max(b - n, nInnerTop);
  RegionFrameBands bands{};
  bands.top = {rc.left, rc.top, rc.right, Clamp32(std::min(t + n, b))};
  bands.bottom = {rc.left, Clamp32(nInnerBottom), rc.right, rc.bottom};
  bands.left = {rc.left, Clamp32(nInnerTop), Clamp32(std::min(l + n, r)), Clamp32(nInnerBottom)};
  bands.right = {Clamp32(std::max(r - n, l + n)), Clamp32(nInnerTop), rc.right, Clamp32(nInnerBottom)};
  return bands;
}

bool IsEmptyBand(const EdgeRect& band) { return band.right <= band.left || band.bottom <= band.top; }

std::string RegionLabelText(const CaptureRect& rc) {
  const long long nWidth = static_cast<long long>(rc.right) - rc.left + 1;
  const long long nHeight = static_cast<long long>(rc.bottom) - rc.top + 1;
  char szText[96];
  std::snprintf(szText, sizeof szText, "X : %d  Y : %d  W : %lld  H : %lld", static_cast<int>(rc.left),
                static_cast<int>(rc.top), nWidth, nHeight);
  return szText;
}

RegionLabelPlace RegionLabelPlaceFor(const CaptureRect& rc, std::int32_t nTextWidth, std::int32_t nTextHeight) {
  const std::int64_t nAbove = static_cast<std::int64_t>(nTextHeight) + kRegionLabelGap;
  const std::int64_t y = rc.top >= nAbove ? rc.top - nAbove : static_cast<std::int64_t>(rc.bottom) + kRegionLabelGap;
  const std::int64_t x = static_cast<std::int64_t>(rc.left) + kRegionLabelIndent;  // the box's left edge
  const std::int64_t m = kRegionLabelMargin;
  RegionLabelPlace place{};
  place.nTextX = Clamp32(x + m);
  place.nTextY = Clamp32(y);
  place.box = {Clamp32(x), Clamp32(y - m), Clamp32(x + nTextWidth + 2 * m), Clamp32(y + nTextHeight + m)};
  return place;
}

}  // namespace vantor
