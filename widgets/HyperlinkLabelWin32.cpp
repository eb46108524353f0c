#include "widgets/HyperlinkLabel.h"

#include <shellapi.h>

namespace vantor {

void CHyperlinkLabel::Open() const {
  if (!m_strTarget.empty()) {
    ShellExecuteW(m_hWnd ? GetParent(m_hWnd) : nullptr, L"open", m_strTarget.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

void CHyperlinkLabel::OnAttached() {
  // A static tells the system it is transparent to the mouse unless it notifies.
  SetWindowLongPtrW(m_hWnd, GWL_STYLE, GetWindowLongPtrW(m_hWnd, GWL_STYLE) | SS_NOTIFY);
  MakeLinkFont();
}

void CHyperlinkLabel::MakeLinkFont() {
  LOGFONTW lf = {};
  HFONT hFont = reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
  if (!hFont) hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  GetObjectW(hFont, sizeof(lf), &lf);
  lf.lfUnderline = TRUE;
  m_linkFont.Attach(CreateFontIndirectW(&lf));
}

HFONT CHyperlinkLabel::DrawingFont() const {
  return m_linkFont ? m_linkFont.get() : CTransparentLabel::DrawingFont();
}

COLORREF CHyperlinkLabel::DrawingColour() const {
  return m_hover.IsHovered() ? RGB(192, 57, 43) : RGB(31, 97, 171);
}

LRESULT CHyperlinkLabel::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (m_hover.Track(m_hWnd, uMsg)) InvalidateRect(m_hWnd, nullptr, FALSE);
  switch (uMsg) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_LBUTTONUP:
      Open();
      return 0;
    case WM_SETFONT: {
      const LRESULT nResult = CTransparentLabel::OnMessage(uMsg, wParam, lParam);
      MakeLinkFont();
      return nResult;
    }
    default:
      return CTransparentLabel::OnMessage(uMsg, wParam, lParam);
  }
}

}  // namespace vantor
