#include "overlays/BorderGeometry.h"

#include <algorithm>

namespace vantor {

namespace {

EdgeRect Offset(const EdgeRect& rc, std::int32_t dx, std::int32_t dy) {
  return {rc.left + dx, rc.top + dy, rc.right + dx, rc.bottom + dy};
}

bool Inside(const EdgeRect& rc, std::int32_t x, std::int32_t y) {
  return x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
}

// Sums of 32-bit coordinates near the limits must not wrap.
std::int32_t Clamp32(std::int64_t n) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, INT32_MIN, INT32_MAX));
}

}  // namespace

BorderRegion BorderRegionFor(const CaptureRect& area, std::int32_t nOriginX, std::int32_t nOriginY) {
  // Built around the area's own corner, as the marks' shape does not depend on where
  // the area lies, then moved into place.
  const std::int32_t w = area.right - area.left;  // span: width - 1
  const std::int32_t h = area.bottom - area.top;
  const std::int32_t t = kBorderThickness;
  BorderRegion region{};
  region.outer = {0, 0, w + 2 * t, h + 2 * t};
  region.inner = {t, t, w + t + 1, h + t + 1};
  region.verticalBand = {0, kBorderNearArm, w + 2 * t, h + 2 * t - kBorderFarArm};
  region.horizontalBand = {kBorderNearArm, 0, w + 2 * t - kBorderFarArm, h + 2 * t};
  region.bHasVerticalBand = region.verticalBand.bottom > region.verticalBand.top;
  region.bHasHorizontalBand = region.horizontalBand.right > region.horizontalBand.left;

  const std::int32_t dx = Clamp32(static_cast<std::int64_t>(area.left) - t - nOriginX);
  const std::int32_t dy = Clamp32(static_cast<std::int64_t>(area.top) - t - nOriginY);
  region.outer = Offset(region.outer, dx, dy);
  region.inner = Offset(region.inner, dx, dy);
  region.verticalBand = Offset(region.verticalBand, dx, dy);
  region.horizontalBand = Offset(region.horizontalBand, dx, dy);
  return region;
}

bool BorderRegionContains(const BorderRegion& region, std::int32_t x, std::int32_t y) {
  if (!Inside(region.outer, x, y) || Inside(region.inner, x, y)) return false;
  if (region.bHasVerticalBand && Inside(region.verticalBand, x, y)) return false;
  if (region.bHasHorizontalBand && Inside(region.horizontalBand, x, y)) return false;
  return true;
}

EdgeRect BorderPaintRect(const CaptureRect& area) {
  return {area.left - kBorderThickness, area.top - kBorderThickness, area.right + kBorderThickness,
          area.bottom + kBorderThickness};
}

bool IsPaintableArea(const CaptureRect& area) { return area.right > area.left && area.bottom > area.top; }

CaptureRect AreaFromOrigin(std::int32_t nLeft, std::int32_t nTop, std::int32_t nWidth, std::int32_t nHeight) {
  return {nLeft, nTop, Clamp32(static_cast<std::int64_t>(nLeft) + nWidth - 1),
          Clamp32(static_cast<std::int64_t>(nTop) + nHeight - 1)};
}

CaptureRect MoveAreaWithin(const CaptureRect& area, std::int32_t dx, std::int32_t dy, std::int32_t nScreenWidth,
                           std::int32_t nScreenHeight) {
  const std::int64_t nSpanX = static_cast<std::int64_t>(area.right) - area.left;
  const std::int64_t nSpanY = static_cast<std::int64_t>(area.bottom) - area.top;
  std::int64_t l = static_cast<std::int64_t>(area.left) + dx, r = static_cast<std::int64_t>(area.right) + dx;
  std::int64_t t = static_cast<std::int64_t>(area.top) + dy, b = static_cast<std::int64_t>(area.bottom) + dy;
  if (l < 0) {
    l = 0;
    r = nSpanX;
  }
  if (t < 0) {
    t = 0;
    b = nSpanY;
  }
  if (r > static_cast<std::int64_t>(nScreenWidth) - 1) {
    r = static_cast<std::int64_t>(nScreenWidth) - 1;
    l = r - nSpanX;
  }
  if (b > static_cast<std::int64_t>(nScreenHeight) - 1) {
    b = static_cast<std::int64_t>(nScreenHeight) - 1;
    t = b - nSpanY;
  }
  return {Clamp32(l), Clamp32(t), Clamp32(r), Clamp32(b)};
}

}  // namespace vantor
