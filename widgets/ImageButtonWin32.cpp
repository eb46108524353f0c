#include "widgets/ImageButton.h"

#include <string>

#include "widgets/Backdrop.h"
#include "widgets/PaintBuffer.h"
#include "widgets/WidgetGeometry.h"

namespace vantor {
namespace {

// Pixels between the icon and the caption, and round the button's contents.
constexpr int kGap = 2;

RECT ToRect(const WidgetRect& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }

std::wstring WindowText(HWND hWnd) {
  std::wstring strText(static_cast<std::size_t>(GetWindowTextLengthW(hWnd)) + 1, L'\0');
  strText.resize(static_cast<std::size_t>(GetWindowTextW(hWnd, strText.data(), static_cast<int>(strText.size()))));
  return strText;
}

int LineHeight(HDC hDC) {
  TEXTMETRICW tm = {};
  GetTextMetricsW(hDC, &tm);
  return tm.tmHeight;
}

// A rounded frame in a colour, for the hovered and the pressed look.
void Frame(HDC hDC, const RECT& rc, COLORREF colour) {
  CPen pen(CreatePen(PS_SOLID, 1, colour));
  CSelectObject selectPen(hDC, pen.get());
  CSelectObject selectBrush(hDC, GetStockObject(NULL_BRUSH));
  RoundRect(hDC, rc.left, rc.top, rc.right, rc.bottom, 5, 5);
}

}  // namespace

bool CImageButton::LoadIcons(HINSTANCE hInstance, UINT nIconId, UINT nHoverIconId, int nIconSize) {
  m_nIconSize = nIconSize;
  m_icon.Attach(static_cast<HICON>(
      LoadImageW(hInstance, MAKEINTRESOURCEW(nIconId), IMAGE_ICON, nIconSize, nIconSize, LR_DEFAULTCOLOR)));
  m_hoverIcon.Attach(nHoverIconId ? static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(nHoverIconId),
                                                                  IMAGE_ICON, nIconSize, nIconSize, LR_DEFAULTCOLOR))
                                  : nullptr);
  Redraw();
  return static_cast<bool>(m_icon);
}

void CImageButton::SetLayout(Layout eLayout) {
  m_eLayout = eLayout;
  Redraw();
}

void CImageButton::SetTextColours(COLORREF normal, COLORREF hover) {
  m_textColour = normal;
  m_hoverTextColour = hover;
  Redraw();
}

void CImageButton::SetTransparent(bool bTransparent) {
  m_bTransparent = bTransparent;
  Redraw();
}

void CImageButton::Redraw() {
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CImageButton::OnAttached() {
  // The button draws itself from now on; its parent hands it WM_DRAWITEM.
  const LONG_PTR nStyle = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  SetWindowLongPtrW(m_hWnd, GWL_STYLE, (nStyle & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
  Redraw();
}

LRESULT CImageButton::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (m_hover.Track(m_hWnd, uMsg)) Redraw();
  // The background is the parent's, painted with the button itself.
  if (uMsg == WM_ERASEBKGND) return TRUE;
  return Default(uMsg, wParam, lParam);
}

bool CImageButton::OnParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) {
  if (uMsg != WM_DRAWITEM) return false;
  Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  *pResult = TRUE;
  return true;
}

void CImageButton::Draw(const DRAWITEMSTRUCT& item) {
  const bool bPressed = (item.itemState & ODS_SELECTED) != 0;
  const bool bDisabled = (item.itemState & ODS_DISABLED) != 0;
  const bool bHovered = m_hover.IsHovered() && !bDisabled;
  CPaintBuffer buffer(item.hDC, item.rcItem);
  HDC hDC = buffer.get();

  if (m_bTransparent) {
    PaintParentBackground(m_hWnd, hDC);
  } else {
    FillRect(hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  }
  if (bPressed) {
    Frame(hDC, item.rcItem, RGB(120, 138, 160));
  } else if (bHovered) {
    Frame(hDC, item.rcItem, RGB(255, 255, 255));
  }

  CSelectObject selectFont(hDC, reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0)));
  WidgetRect rcButton = {item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
  if (bPressed) {
    // The pressed look: the contents move one pixel down and right.
    ++rcButton.left, ++rcButton.top, ++rcButton.right, ++rcButton.bottom;
  }
  const ImageButtonLayout layout = m_eLayout == Layout::IconAbove
                                       ? LayoutIconAbove(rcButton, m_nIconSize, LineHeight(hDC), kGap)
                                       : LayoutIconLeft(rcButton, m_nIconSize, kGap);

  HICON hIcon = bHovered && m_hoverIcon ? m_hoverIcon.get() : m_icon.get();
  if (hIcon && bDisabled) {
    DrawStateW(hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(hIcon), 0, layout.icon.left, layout.icon.top,
               m_nIconSize, m_nIconSize, DST_ICON | DSS_DISABLED);
  } else if (hIcon) {
    // Straight onto the picture, so the icon's soft edges blend with the background.
    DrawIconEx(hDC, layout.icon.left, layout.icon.top, hIcon, m_nIconSize, m_nIconSize, 0, nullptr, DI_NORMAL);
  }

  const std::wstring strCaption = WindowText(m_hWnd);
  RECT rcCaption = ToRect(layout.caption);
  SetBkMode(hDC, TRANSPARENT);
  SetTextColor(hDC, bDisabled ? GetSysColor(COLOR_GRAYTEXT) : bHovered ? m_hoverTextColour : m_textColour);
  const UINT nAlign = m_eLayout == Layout::IconAbove ? DT_CENTER : DT_LEFT;
  DrawTextW(hDC, strCaption.c_str(), static_cast<int>(strCaption.size()), &rcCaption,
            nAlign | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);

  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT rcFocus = item.rcItem;
    InflateRect(&rcFocus, -kGap, -kGap);
    DrawFocusRect(hDC, &rcFocus);
  }
}

}  // namespace vantor
