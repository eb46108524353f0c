#include "widgets/WidgetGeometry.h"

#include <algorithm>

namespace vantor {

ImageButtonLayout LayoutIconAbove(const WidgetRect& rcButton, int nIconSize, int nCaptionHeight, int nGap) {
  const int nBlock = nIconSize + nGap + nCaptionHeight;
  const int nTop = rcButton.top + std::max(0, (rcButton.Height() - nBlock) / 2);
  const int nIconLeft = rcButton.left + (rcButton.Width() - nIconSize) / 2;
  ImageButtonLayout layout;
  layout.icon = {nIconLeft, nTop, nIconLeft + nIconSize, nTop + nIconSize};
  const int nCaptionTop = std::min(layout.icon.bottom + nGap, rcButton.bottom);
  layout.caption = {rcButton.left, nCaptionTop, rcButton.right,
                    std::min(nCaptionTop + nCaptionHeight, rcButton.bottom)};
  return layout;
}

ImageButtonLayout LayoutIconLeft(const WidgetRect& rcButton, int nIconSize, int nGap) {
  const int nIconTop = rcButton.top + (rcButton.Height() - nIconSize) / 2;
  const int nIconLeft = rcButton.left + nGap;
  ImageButtonLayout layout;
  layout.icon = {nIconLeft, nIconTop, nIconLeft + nIconSize, nIconTop + nIconSize};
  layout.caption = {std::min(layout.icon.right + nGap, rcButton.right), rcButton.top, rcButton.right,
                    rcButton.bottom};
  return layout;
}

WidgetRect StripCell(int nStripWidth, int nStripHeight, int nStates, int nState) {
  if (nStates < 1) nStates = 1;
  if (nState < 0 || nState >= nStates) nState = 0;
  const int nCell = nStripWidth / nStates;
  return {nState * nCell, 0, (nState + 1) * nCell, nStripHeight};
}

WidgetRect CentredIn(const WidgetRect& rcControl, int nWidth, int nHeight) {
  const int nLeft = rcControl.left + (rcControl.Width() - nWidth) / 2;
  const int nTop = rcControl.top + (rcControl.Height() - nHeight) / 2;
  return {nLeft, nTop, nLeft + nWidth, nTop + nHeight};
}

WidgetColour SkinColourAt(int y, int nHeight) {
  if (nHeight <= 1) return kSkinTop;
  y = std::clamp(y, 0, nHeight - 1);
  // Integer blend, rounded to nearest: the same colours on every build.
  const auto blend = [&](int a, int b) {
    const int nSpan = nHeight - 1;
    return static_cast<std::uint8_t>((a * (nSpan - y) + b * y + nSpan / 2) / nSpan);
  };
  return {blend(kSkinTop.r, kSkinBottom.r), blend(kSkinTop.g, kSkinBottom.g), blend(kSkinTop.b, kSkinBottom.b)};
}

}  // namespace vantor
