// The arithmetic of the widget kit that needs no window: where an image button puts
// its icon and caption, which part of a state strip a hover button shows, and the
// colours of the dialogs' background. The Windows side draws with these.
#pragma once
#include <cstdint>

namespace vantor {

// A rectangle in pixels, right and bottom exclusive, as Windows' RECT.
struct WidgetRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const WidgetRect&) const = default;
};

struct WidgetColour {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const WidgetColour&) const = default;
};

// Where an image button draws its two parts.
struct ImageButtonLayout {
  WidgetRect icon;
  WidgetRect caption;
};

// The icon above its caption: the pair, with nGap pixels between them, centred in the
// button both ways; the caption spans the button's width. A button too low for both
// keeps the icon at its top edge and gives the caption what is left.
ImageButtonLayout LayoutIconAbove(const WidgetRect& rcButton, int nIconSize, int nCaptionHeight, int nGap);

// The icon left of its caption: the icon centred vertically at nGap from the left
// edge, the caption in the rest.
ImageButtonLayout LayoutIconLeft(const WidgetRect& rcButton, int nIconSize, int nGap);

// The cell of state nState in a picture that holds nStates states side by side (cells
// of equal width). A state outside the strip gives the first cell.
WidgetRect StripCell(int nStripWidth, int nStripHeight, int nStates, int nState);

// The cell's place when it is drawn centred in a control of the given size (it may
// stick out on a small control; the control clips it).
WidgetRect CentredIn(const WidgetRect& rcControl, int nWidth, int nHeight);

// The main window's skin: a calm vertical blend from kSkinTop to kSkinBottom.
constexpr WidgetColour kSkinTop{234, 240, 247};
constexpr WidgetColour kSkinBottom{178, 194, 214};
constexpr WidgetColour kSkinEdge{120, 138, 160};
// The colour of row y (0 at the top) of a skin nHeight rows high.
WidgetColour SkinColourAt(int y, int nHeight);

}  // namespace vantor
