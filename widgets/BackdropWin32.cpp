#include "widgets/Backdrop.h"

#include "platform/win32/Owners.h"
#include "widgets/WidgetGeometry.h"

namespace vantor {
namespace {

COLORREF ToColorRef(WidgetColour colour) { return RGB(colour.r, colour.g, colour.b); }

void FillSolid(HDC hDC, const RECT& rc, COLORREF colour) {
  // ExtTextOut with an opaque rectangle fills without a brush to make and free.
  const COLORREF oldColour = SetBkColor(hDC, colour);
  ExtTextOutW(hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
  SetBkColor(hDC, oldColour);
}

}  // namespace

void PaintBackdrop(HDC hDC, const RECT& rcClient, Backdrop eBackdrop, bool bEdge) {
  if (eBackdrop == Backdrop::White) {
    FillSolid(hDC, rcClient, RGB(255, 255, 255));
    return;
  }
  const int nHeight = rcClient.bottom - rcClient.top;
  for (int y = 0; y < nHeight; ++y) {
    const RECT rcRow = {rcClient.left, rcClient.top + y, rcClient.right, rcClient.top + y + 1};
    FillSolid(hDC, rcRow, ToColorRef(SkinColourAt(y, nHeight)));
  }
  if (bEdge) {
    const COLORREF edge = ToColorRef(kSkinEdge);
    FillSolid(hDC, {rcClient.left, rcClient.top, rcClient.right, rcClient.top + 1}, edge);
    FillSolid(hDC, {rcClient.left, rcClient.bottom - 1, rcClient.right, rcClient.bottom}, edge);
    FillSolid(hDC, {rcClient.left, rcClient.top, rcClient.left + 1, rcClient.bottom}, edge);
    FillSolid(hDC, {rcClient.right - 1, rcClient.top, rcClient.right, rcClient.bottom}, edge);
  }
}

void PaintParentBackground(HWND hChild, HDC hDC) {
  HWND hParent = GetParent(hChild);
  if (!hParent) return;
  POINT ptOrigin = {0, 0};
  MapWindowPoints(hChild, hParent, &ptOrigin, 1);
  POINT ptOld = {};
  OffsetViewportOrgEx(hDC, -ptOrigin.x, -ptOrigin.y, &ptOld);
  SendMessageW(hParent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
  SetViewportOrgEx(hDC, ptOld.x, ptOld.y, nullptr);
}

}  // namespace vantor
