#include "overlays/FlashingWnd.h"

#include "overlays/BorderGeometry.h"
#include "platform/win32/Owners.h"

namespace vantor {

std::atomic<CFlashingWnd*> g_BorderWnd{nullptr};
POINT g_DragStart{};
std::int32_t g_BorderDragging = 0;
HCURSOR g_DragCursor = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"VantorFlashingWnd";

bool RegisterBorderClass(HINSTANCE hInstance) {
  WNDCLASSEXW wc{};
  if (::GetClassInfoExW(hInstance, kClassName, &wc)) return true;
  wc = {};
  wc.cbSize = sizeof wc;
  wc.style = 0;
  wc.lpfnWndProc = ::DefWindowProcW;  // replaced per window in Create
  wc.hInstance = hInstance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;  // the marks are painted by PaintBorder alone
  wc.lpszClassName = kClassName;
  return ::RegisterClassExW(&wc) != 0;
}

HRGN MakeRect(const EdgeRect& rc) { return ::CreateRectRgn(rc.left, rc.top, rc.right, rc.bottom); }

// outer less inner less the bands, as one region; empty when GDI is out of regions.
CRegion MakeBorderRegion(const BorderRegion& region) {
  CRegion rgn(MakeRect(region.outer));
  if (!rgn) return rgn;
  auto cut = [hRegion = rgn.get()](const EdgeRect& rc) {
    if (const CRegion part(MakeRect(rc)); part) ::CombineRgn(hRegion, hRegion, part.get(), RGN_DIFF);
  };
  cut(region.inner);
  if (region.bHasVerticalBand) cut(region.verticalBand);
  if (region.bHasHorizontalBand) cut(region.horizontalBand);
  return rgn;
}

}  // namespace

void ReadScreenSize() {
  if (const CWindowDC dc(nullptr); dc) {
    g_ScreenWidth = ::GetDeviceCaps(dc.get(), HORZRES);
    g_ScreenHeight = ::GetDeviceCaps(dc.get(), VERTRES);
  }
}

CFlashingWnd::CFlashingWnd() { g_DragCursor = ::LoadCursorW(nullptr, IDC_SIZEALL); }

CFlashingWnd::~CFlashingWnd() { Destroy(); }

bool CFlashingWnd::Create(const wchar_t* szTitle, const RECT& rc) {
  if (m_hWnd.load()) return true;
  HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
  if (!RegisterBorderClass(hInstance)) return false;
  HWND hWnd = ::CreateWindowExW(WS_EX_TOPMOST, kClassName, szTitle, WS_POPUP, rc.left, rc.top, rc.right - rc.left,
                                rc.bottom - rc.top, nullptr, nullptr, hInstance, nullptr);
  if (!hWnd) return false;
  ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CFlashingWnd::WindowProc));
  m_ptOrigin = {rc.left, rc.top};
  m_hRegion = nullptr;
  m_hWnd.store(hWnd);
  return true;
}

bool CFlashingWnd::CreateOverScreen() {
  if (g_ScreenWidth <= 0 || g_ScreenHeight <= 0) ReadScreenSize();
  // The whole screen: marks next to an area at the right or bottom edge are cut only by
  // the screen, not by a window one pixel short of it.
  const RECT rc = {0, 0, g_ScreenWidth, g_ScreenHeight};
  return Create(L"Recording......", rc);
}

void CFlashingWnd::Destroy() {
  if (HWND hWnd = m_hWnd.exchange(nullptr)) {
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    ::DestroyWindow(hWnd);
  }
  m_hRegion = nullptr;  // the window took it with it
}

CaptureRect CFlashingWnd::get_Area() const {
  std::lock_guard<std::mutex> lock(m_AreaLock);
  return m_rcArea;
}

void CFlashingWnd::ApplyRegion(const CaptureRect& area) {
  HWND hWnd = m_hWnd.load();
  if (!hWnd) return;
  CRegion rgn = MakeBorderRegion(BorderRegionFor(area, m_ptOrigin.x, m_ptOrigin.y));
  if (!rgn) return;
  // On success the system owns the region; on failure it is still ours.
  if (::SetWindowRgn(hWnd, rgn.get(), TRUE)) m_hRegion = rgn.Detach();
}

void CFlashingWnd::SetArea(int nLeft, int nTop, int nWidth, int nHeight) {
  const CaptureRect area = AreaFromOrigin(nLeft, nTop, nWidth, nHeight);
  {
    std::lock_guard<std::mutex> lock(m_AreaLock);
    m_rcArea = area;
  }
  ApplyRegion(area);
}

void CFlashingWnd::MoveArea(int dx, int dy) {
  if (g_ScreenWidth <= 0 || g_ScreenHeight <= 0) ReadScreenSize();
  CaptureRect area;
  {
    std::lock_guard<std::mutex> lock(m_AreaLock);
    area = MoveAreaWithin(m_rcArea, dx, dy, g_ScreenWidth, g_ScreenHeight);
    m_rcArea = area;
  }
  ApplyRegion(area);
  if (m_fnMoved) m_fnMoved(area);
}

void CFlashingWnd::PaintBorder(COLORREF colour) {
  HWND hWnd = m_hWnd.load();
  if (!hWnd) return;
  const CaptureRect area = get_Area();
  if (!IsPaintableArea(area)) return;
  {
    CWindowDC dc(hWnd);
    if (!dc) return;
    const CBrush brush(::CreateSolidBrush(colour));
    const CPen pen(::CreatePen(PS_SOLID, 1, colour));
    const CSelectObject selectBrush(dc.get(), brush.get());
    const CSelectObject selectPen(dc.get(), pen.get());
    const EdgeRect rc = BorderPaintRect(area);
    // The window's own coordinates; the region confines the fill to the marks.
    ::Rectangle(dc.get(), rc.left - m_ptOrigin.x, rc.top - m_ptOrigin.y, rc.right - m_ptOrigin.x,
                rc.bottom - m_ptOrigin.y);
  }
  // The marks must be on the screen before the copy that follows (grey) and stay
  // there after it (blue). GdiFlush empties this thread's batch; Wine keeps a window's
  // drawing in its own buffer until some thread of the process looks for messages,
  // which an empty, non-removing peek does without touching anyone's queue.
  ::GdiFlush();
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD | PM_QS_POSTMESSAGE);
}

void CFlashingWnd::Show() {
  // Without activation: the marks must not take the keyboard focus (nor, under Wine,
  // the cursor the system reports) from the program being recorded.
  if (HWND hWnd = m_hWnd.load()) ::ShowWindow(hWnd, SW_SHOWNA);
}

void CFlashingWnd::Hide() {
  if (HWND hWnd = m_hWnd.load()) ::ShowWindow(hWnd, SW_HIDE);
}

void CFlashingWnd::ShowAreaAsync(int nLeft, int nTop, int nWidth, int nHeight) {
  {
    std::lock_guard<std::mutex> lock(m_AreaLock);
    m_rcArea = AreaFromOrigin(nLeft, nTop, nWidth, nHeight);
  }
  if (HWND hWnd = m_hWnd.load()) ::PostMessageW(hWnd, kShowMessage, 1, 0);
}

void CFlashingWnd::HideAsync() {
  if (HWND hWnd = m_hWnd.load()) ::PostMessageW(hWnd, kShowMessage, 0, 0);
}

LRESULT CALLBACK CFlashingWnd::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* pThis = reinterpret_cast<CFlashingWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  if (!pThis) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
  return pThis->OnMessage(uMsg, wParam, lParam);
}

LRESULT CFlashingWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  HWND hWnd = m_hWnd.load();
  switch (uMsg) {
    case kShowMessage:
      if (wParam) {
        ApplyRegion(get_Area());
        Show();
      } else {
        Hide();
      }
      return 0;
    case WM_ERASEBKGND:
      return TRUE;  // nothing to erase: the marks are all there is
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // a drag of the marks leaves the focus where it was
    case WM_SETCURSOR:
      // Over a mark the four-headed arrow, without a flicker back to the class cursor.
      if (LOWORD(lParam) == HTCLIENT && g_DragCursor) {
        ::SetCursor(g_DragCursor);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      ::GetCursorPos(&g_DragStart);
      g_BorderDragging = 1;
      ::SetCapture(hWnd);
      return 0;
    case WM_MOUSEMOVE:
      if (g_DragCursor) ::SetCursor(g_DragCursor);
      break;
    case WM_LBUTTONUP: {
      POINT pt{};
      ::GetCursorPos(&pt);
      if (g_BorderDragging) {
        g_BorderDragging = 0;
        ::ReleaseCapture();
        MoveArea(pt.x - g_DragStart.x, pt.y - g_DragStart.y);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      // Capture taken away mid-drag (another window, Escape in a menu): the button-up
      // that would end the drag never comes here, so the drag ends without a move.
      g_BorderDragging = 0;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

}  // namespace vantor
