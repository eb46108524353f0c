// A push button that shows an icon with its caption, a second icon while the mouse is
// over it, and its caption in another colour then. Drawn transparently: the parent's
// background under the button is its own background. Owner-drawn: the parent hands
// WM_DRAWITEM on (CWidget::ReflectToWidget).
#pragma once
#include <windows.h>

#include "platform/win32/Owners.h"
#include "widgets/Widget.h"

namespace vantor {

class CImageButton : public CWidget {
 public:
  enum class Layout { IconLeft, IconAbove };

  // Loads the icons (nIconSize pixels square) from the module's icon resources; a
  // hover id of 0 keeps the one icon while hovered.
  bool LoadIcons(HINSTANCE hInstance, UINT nIconId, UINT nHoverIconId, int nIconSize);
  void SetLayout(Layout eLayout);
  void SetTextColours(COLORREF normal, COLORREF hover);
  // Transparent: the parent's background; otherwise the system's button face.
  void SetTransparent(bool bTransparent);

  bool IsHovered() const { return m_hover.IsHovered(); }

 protected:
  void OnAttached() override;
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool OnParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) override;

 private:
  void Draw(const DRAWITEMSTRUCT& item);
  void Redraw();

  CIcon m_icon;
  CIcon m_hoverIcon;
  int m_nIconSize = 0;
  Layout m_eLayout = Layout::IconLeft;
  COLORREF m_textColour = RGB(0, 0, 0);
  COLORREF m_hoverTextColour = RGB(0, 0, 0);
  bool m_bTransparent = false;
  CHoverTracker m_hover;
};

}  // namespace vantor
