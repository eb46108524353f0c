// A static text drawn over its parent's background (the skin shows through), which
// repaints cleanly when its text changes. Keeps the static's alignment (left, centre,
// right) and its font.
#pragma once
#include <windows.h>

#include "widgets/Widget.h"

namespace vantor {

class CTransparentLabel : public CWidget {
 public:
  void SetTextColour(COLORREF colour);

 protected:
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  // The font the text is drawn in; the hyperlink draws in its own.
  virtual HFONT DrawingFont() const;
  virtual COLORREF DrawingColour() const { return m_colour; }

 private:
  void Paint(HDC hDC);

  COLORREF m_colour = RGB(44, 62, 80);
};

}  // namespace vantor
