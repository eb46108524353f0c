#include "widgets/TransparentLabel.h"

#include <string>

#include "widgets/Backdrop.h"
#include "widgets/PaintBuffer.h"

namespace vantor {

void CTransparentLabel::SetTextColour(COLORREF colour) {
  m_colour = colour;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

HFONT CTransparentLabel::DrawingFont() const {
  return reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
}

LRESULT CTransparentLabel::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hDC = BeginPaint(m_hWnd, &ps);
      Paint(hDC);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_SETTEXT:
    case WM_ENABLE: {
      // The static draws the new text straight over the old one, with nothing
      // behind it; the whole label is drawn again over the background.
      const LRESULT nResult = Default(uMsg, wParam, lParam);
      InvalidateRect(m_hWnd, nullptr, FALSE);
      return nResult;
    }
    default:
      return Default(uMsg, wParam, lParam);
  }
}

void CTransparentLabel::Paint(HDC hTarget) {
  RECT rc = {};
  GetClientRect(m_hWnd, &rc);
  CPaintBuffer buffer(hTarget, rc);
  HDC hDC = buffer.get();
  PaintParentBackground(m_hWnd, hDC);

  std::wstring strText(static_cast<std::size_t>(GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
  strText.resize(static_cast<std::size_t>(GetWindowTextW(m_hWnd, strText.data(), static_cast<int>(strText.size()))));
  const LONG_PTR nStyle = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  UINT nFormat = DT_WORDBREAK | DT_NOPREFIX;
  switch (nStyle & SS_TYPEMASK) {
    case SS_CENTER: nFormat |= DT_CENTER; break;
    case SS_RIGHT: nFormat |= DT_RIGHT; break;
    case SS_LEFTNOWORDWRAP: nFormat = DT_SINGLELINE | DT_NOPREFIX; break;
    default: break;
  }
  CSelectObject selectFont(hDC, DrawingFont());
  SetBkMode(hDC, TRANSPARENT);
  SetTextColor(hDC, IsWindowEnabled(m_hWnd) ? DrawingColour() : GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(hDC, strText.c_str(), static_cast<int>(strText.size()), &rc, nFormat);
}

}  // namespace vantor
