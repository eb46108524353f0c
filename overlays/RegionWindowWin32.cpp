#include "overlays/RegionWindow.h"

#include <string>

#include "base/Screen.h"
#include "overlays/FlashingWnd.h"
#include "overlays/RegionGeometry.h"
#include "overlays/RegionSelection.h"
#include "platform/win32/Owners.h"
#include "recording/RecordingSettings.h"

namespace vantor {

HWND g_RegionWnd = nullptr;

namespace {

constexpr wchar_t kRegionClassName[] = L"ShiftRegionWindow";
constexpr COLORREF kHatchColour = RGB(0, 0, 100);
constexpr COLORREF kLabelTextColour = RGB(36, 107, 185);
constexpr COLORREF kLabelBackColour = RGB(255, 255, 255);
constexpr int kLabelCorner = 10;  // the rounded box's corner ellipse, both ways

// The screen pixels under the label while it is shown, and where they came from: put
// back exactly there, whatever the label's rectangle is by then.
CBitmap g_LabelBackground;
EdgeRect g_LabelBackgroundBox{};

void InvertFrame(HDC hdc, const CaptureRect& rc) {
  const CBrush brush(::CreateHatchBrush(HS_BDIAGONAL, kHatchColour));
  if (!brush) return;
  const CSelectObject selectBrush(hdc, brush.get());
  const RegionFrameBands bands = RegionFrameBandsFor(rc);
  for (const EdgeRect& band : {bands.top, bands.bottom, bands.left, bands.right}) {
    if (!IsEmptyBand(band))
      ::PatBlt(hdc, band.left, band.top, band.right - band.left, band.bottom - band.top, PATINVERT);
  }
}

// Keeps a copy of the pixels in box; any copy kept before goes.
void SaveLabelBackground(HDC hdc, const EdgeRect& box) {
  g_LabelBackground.Reset();
  const int nWidth = box.right - box.left, nHeight = box.bottom - box.top;
  const CMemoryDC memory(::CreateCompatibleDC(hdc));
  CBitmap bitmap(::CreateCompatibleBitmap(hdc, nWidth, nHeight));
  if (!memory || !bitmap) return;
  {
    const CSelectObject select(memory.get(), bitmap.get());
    if (!::BitBlt(memory.get(), 0, 0, nWidth, nHeight, hdc, box.left, box.top, SRCCOPY)) return;
  }
  g_LabelBackground = std::move(bitmap);
  g_LabelBackgroundBox = box;
}

void RestoreLabelBackground(HDC hdc) {
  if (!g_LabelBackground) return;
  const EdgeRect& box = g_LabelBackgroundBox;
  if (const CMemoryDC memory(::CreateCompatibleDC(hdc)); memory) {
    const CSelectObject select(memory.get(), g_LabelBackground.get());
    ::BitBlt(hdc, box.left, box.top, box.right - box.left, box.bottom - box.top, memory.get(), 0, 0, SRCCOPY);
  }
  g_LabelBackground.Reset();
}

void DrawLabel(HDC hdc, const RegionLabelPlace& place, const std::string& strText) {
  const EdgeRect& box = place.box;
  SaveLabelBackground(hdc, box);
  const COLORREF oldText = ::SetTextColor(hdc, kLabelTextColour);
  const COLORREF oldBack = ::SetBkColor(hdc, kLabelBackColour);
  const int nOldMode = ::SetBkMode(hdc, OPAQUE);
  // The context's own pen and brush: black outline, white inside.
  ::RoundRect(hdc, box.left, box.top, box.right, box.bottom, kLabelCorner, kLabelCorner);
  ::TextOutA(hdc, place.nTextX, place.nTextY, strText.data(), static_cast<int>(strText.size()));
  ::SetBkMode(hdc, nOldMode);
  ::SetBkColor(hdc, oldBack);
  ::SetTextColor(hdc, oldText);
}

// The window's device context, its logical coordinates turned into the screen's: the
// rectangles and the cursor are in screen terms wherever the system put the window.
class CRegionDC {
 public:
  explicit CRegionDC(HWND hWnd) : m_dc(hWnd) {
    POINT ptOrigin = {0, 0};
    if (m_dc && ::ClientToScreen(hWnd, &ptOrigin)) ::SetViewportOrgEx(m_dc.get(), -ptOrigin.x, -ptOrigin.y, nullptr);
  }
  HDC get() const { return m_dc.get(); }
  explicit operator bool() const { return static_cast<bool>(m_dc); }

 private:
  CWindowDC m_dc;
};

// The screen as it was right before the window appeared, painted as the window's
// content while it is shown. A window that paints nothing shows the desktop only where
// the system draws windows straight onto the screen; where each window has a surface of
// its own (Wine, and Windows with desktop composition) it would show black, and the user
// would drag blind.
CBitmap g_ScreenSnapshot;

void TakeScreenSnapshot() {
  g_ScreenSnapshot.Reset();
  const CWindowDC screen(nullptr);
  if (!screen) return;
  const CMemoryDC memory(::CreateCompatibleDC(screen.get()));
  CBitmap bitmap(::CreateCompatibleBitmap(screen.get(), g_ScreenWidth, g_ScreenHeight));
  if (!memory || !bitmap) return;
  {
    const CSelectObject select(memory.get(), bitmap.get());
    if (!::BitBlt(memory.get(), 0, 0, g_ScreenWidth, g_ScreenHeight, screen.get(), 0, 0, SRCCOPY)) return;
  }
  g_ScreenSnapshot = std::move(bitmap);
}

void PaintScreenSnapshot(HWND hWnd) {
  PAINTSTRUCT ps;
  HDC hdc = ::BeginPaint(hWnd, &ps);
  if (!hdc) return;
  if (g_ScreenSnapshot) {
    if (const CMemoryDC memory(::CreateCompatibleDC(hdc)); memory) {
      POINT ptOrigin = {0, 0};
      ::ClientToScreen(hWnd, &ptOrigin);
      const CSelectObject select(memory.get(), g_ScreenSnapshot.get());
      ::BitBlt(hdc, -ptOrigin.x, -ptOrigin.y, g_ScreenWidth, g_ScreenHeight, memory.get(), 0, 0, SRCCOPY);
    }
  }
  ::EndPaint(hWnd, &ps);
}

RegionPoint CursorPoint() {
  POINT pt = {0, 0};
  ::GetCursorPos(&pt);
  return {static_cast<std::int32_t>(pt.x), static_cast<std::int32_t>(pt.y)};
}

// The selection is over: the frame and label go before the window does, so that
// nothing of them is left on a screen that does not repaint what lay under the window.
void EndSelection(HWND hWnd) {
  if (g_Dragging) {
    if (const CRegionDC dc(hWnd); dc) DrawRegionFrame(dc.get(), g_DragRect, 0);
  }
}

}  // namespace

void DrawRegionFrame(HDC hdc, const CaptureRect& rc, int withLabel) {
  if (!hdc || IsEmptyRegionRect(rc)) return;
  InvertFrame(hdc, rc);

  const std::string strText = RegionLabelText(rc);
  const CSelectObject selectFont(hdc, ::GetStockObject(ANSI_VAR_FONT));
  SIZE size = {0, 0};
  ::GetTextExtentPoint32A(hdc, strText.data(), static_cast<int>(strText.size()), &size);
  if (withLabel)
    DrawLabel(hdc, RegionLabelPlaceFor(rc, size.cx, size.cy), strText);
  else
    RestoreLabelBackground(hdc);
}

int CreateRegionWindow() {
  if (g_RegionWnd) return 0;
  HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.style = 0;
  wc.lpfnWndProc = &RegionWndProc;
  wc.hInstance = hInstance;
  wc.hIcon = ::LoadIconW(hInstance, L"QIRVAX");
  wc.hCursor = ::LoadCursorW(nullptr, IDC_CROSS);
  wc.hbrBackground = nullptr;  // its content is the still of the screen alone
  wc.lpszClassName = kRegionClassName;
  if (!::RegisterClassW(&wc)) return 0;

  ReadScreenSize();
  g_RegionWnd = ::CreateWindowExW(WS_EX_TOPMOST, kRegionClassName, L"Title", WS_POPUP, 0, 0, g_ScreenWidth,
                                  g_ScreenHeight, nullptr, nullptr, hInstance, nullptr);
  return 0;
}

LRESULT CALLBACK RegionWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_WINDOWPOSCHANGING:
      // Before the window appears, so the screen does not show it yet. (Not on
      // WM_SHOWWINDOW: Wine does not send that for SW_SHOWMAXIMIZED.)
      if ((reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) && !::IsWindowVisible(hWnd))
        TakeScreenSnapshot();
      break;
    case WM_WINDOWPOSCHANGED:
      if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_HIDEWINDOW) g_ScreenSnapshot.Reset();
      break;
    case WM_ERASEBKGND:
      return TRUE;  // the snapshot covers everything
    case WM_PAINT:
      // Whatever covered part of the window took some of the frame and label with it:
      // both are taken away whole, the still is painted where needed, and both are drawn
      // afresh, so that the next erase inverts exactly what is on the screen.
      if (g_Dragging) {
        if (const CRegionDC dc(hWnd); dc) DrawRegionFrame(dc.get(), g_DragRect, 0);
      }
      PaintScreenSnapshot(hWnd);
      if (g_Dragging) {
        if (const CRegionDC dc(hWnd); dc) DrawRegionFrame(dc.get(), g_DragRect, 1);
      }
      return 0;
    case WM_LBUTTONDOWN:
      BeginRegionDrag(CursorPoint());
      if (const CRegionDC dc(hWnd); dc) DrawRegionFrame(dc.get(), g_DragRect, 1);
      break;
    case WM_MOUSEMOVE:
      if (g_Dragging) {
        const RegionPoint pt = CursorPoint();
        const CRegionDC dc(hWnd);
        DrawRegionFrame(dc.get(), g_DragRect, 0);
        FollowRegionDrag(pt);
        DrawRegionFrame(dc.get(), g_DragRect, 1);
      }
      break;
    case WM_LBUTTONUP:
      if (g_Dragging) {
        EndSelection(hWnd);
        EndRegionDrag(g_CaptureRect);
        ::ShowWindow(hWnd, SW_HIDE);
      }
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        EndSelection(hWnd);
        CancelRegionDrag();
        ::ShowWindow(hWnd, SW_HIDE);
      }
      break;
    case WM_CLOSE:
      // Alt+F4 during a selection cancels it as Esc does. The default would destroy
      // the window, and the region button would show nothing for the rest of the run.
      EndSelection(hWnd);
      CancelRegionDrag();
      ::ShowWindow(hWnd, SW_HIDE);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

}  // namespace vantor
