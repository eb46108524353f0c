#include "widgets/HoverBitmapButton.h"

#include "widgets/Backdrop.h"
#include "widgets/PaintBuffer.h"
#include "widgets/WidgetGeometry.h"

namespace vantor {
namespace {

enum StripState { kNormal = 0, kHover = 1, kPressed = 2, kLocked = 3 };
constexpr COLORREF kSeeThrough = RGB(255, 0, 255);

}  // namespace

bool CHoverBitmapButton::LoadStrip(HINSTANCE hInstance, UINT nBitmapId, int nStates) {
  m_strip.Attach(static_cast<HBITMAP>(LoadImageW(hInstance, MAKEINTRESOURCEW(nBitmapId), IMAGE_BITMAP, 0, 0, 0)));
  m_nStates = nStates;
  BITMAP bm = {};
  if (m_strip && GetObjectW(m_strip.get(), sizeof(bm), &bm)) m_size = {bm.bmWidth, bm.bmHeight};
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
  return static_cast<bool>(m_strip);
}

void CHoverBitmapButton::OnAttached() {
  const LONG_PTR nStyle = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  SetWindowLongPtrW(m_hWnd, GWL_STYLE, (nStyle & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CHoverBitmapButton::SetLocked(bool bLocked) {
  if (m_bLocked == bLocked) return;
  m_bLocked = bLocked;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

LRESULT CHoverBitmapButton::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (m_hover.Track(m_hWnd, uMsg)) InvalidateRect(m_hWnd, nullptr, FALSE);
  if (uMsg == WM_ERASEBKGND) return TRUE;
  if (m_bLocked) {
    switch (uMsg) {
      // The button never sees the click, so it neither pushes in nor reports one.
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
      case WM_LBUTTONUP:
        return 0;
      default:
        break;
    }
  }
  return Default(uMsg, wParam, lParam);
}

bool CHoverBitmapButton::OnParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) {
  if (uMsg != WM_DRAWITEM) return false;
  Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  *pResult = TRUE;
  return true;
}

void CHoverBitmapButton::Draw(const DRAWITEMSTRUCT& item) {
  CPaintBuffer buffer(item.hDC, item.rcItem);
  HDC hDC = buffer.get();
  PaintParentBackground(m_hWnd, hDC);
  if (!m_strip) return;

  int nState = kNormal;
  if (m_bLocked) {
    nState = m_nStates > kLocked ? kLocked : kNormal;
  } else if (item.itemState & ODS_DISABLED) {
    nState = kNormal;
  } else if (item.itemState & ODS_SELECTED) {
    nState = kPressed;
  } else if (m_hover.IsHovered()) {
    nState = kHover;
  }
  const WidgetRect rcCell = StripCell(m_size.cx, m_size.cy, m_nStates, nState);
  const WidgetRect rcControl = {item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
  const WidgetRect rcDest = CentredIn(rcControl, rcCell.Width(), rcCell.Height());

  CMemoryDC stripDC(CreateCompatibleDC(hDC));
  if (!stripDC) return;
  CSelectObject selectStrip(stripDC.get(), m_strip.get());
  GdiTransparentBlt(hDC, rcDest.left, rcDest.top, rcDest.Width(), rcDest.Height(), stripDC.get(), rcCell.left,
                    rcCell.top, rcCell.Width(), rcCell.Height(), kSeeThrough);
}

}  // namespace vantor
