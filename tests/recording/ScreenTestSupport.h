// Windows on the bench's screen for the grabber and border tests: a topmost popup that
// shows a picture the test knows pixel by pixel, the message pump, and reading the
// screen back.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace vantor::test {

// Pumps this thread's messages for dwMs.
inline void PumpFor(DWORD dwMs) {
  const DWORD dwStart = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    const DWORD dwElapsed = ::GetTickCount() - dwStart;
    if (dwElapsed >= dwMs) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, dwMs - dwElapsed, QS_ALLINPUT);
  }
}

// Pumps until pred holds; false when it never did within dwGiveUpMs (a generous bound
// that only a broken program reaches).
inline bool PumpUntil(const std::function<bool()>& pred, DWORD dwGiveUpMs = 10000) {
  const DWORD dwStart = ::GetTickCount();
  while (!pred()) {
    if (::GetTickCount() - dwStart > dwGiveUpMs) return false;
    PumpFor(20);
  }
  return true;
}

// The screen's pixel, as a grab would see it.
inline COLORREF ScreenPixel(int x, int y) {
  HDC hdc = ::GetDC(nullptr);
  const COLORREF c = ::GetPixel(hdc, x, y);
  ::ReleaseDC(nullptr, hdc);
  return c;
}

// A topmost popup whose every pixel is fnColour(x, y) of its own coordinates.
class CPictureWindow {
 public:
  using ColourFunction = std::function<COLORREF(int x, int y)>;

  CPictureWindow(int nLeft, int nTop, int nWidth, int nHeight, ColourFunction fnColour, HCURSOR hCursor = nullptr)
      : m_nWidth(nWidth), m_nHeight(nHeight), m_fnColour(std::move(fnColour)), m_hCursor(hCursor) {
    static const ATOM atom = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &CPictureWindow::WndProc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      wc.lpszClassName = L"vantor_test_picture";
      return ::RegisterClassW(&wc);
    }();
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = nWidth;
    bmi.bmiHeader.biHeight = -nHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* pBits = nullptr;
    m_hPicture = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    auto* pPixels = static_cast<std::uint32_t*>(pBits);
    for (int y = 0; y < nHeight; ++y)
      for (int x = 0; x < nWidth; ++x) {
        const COLORREF c = m_fnColour(x, y);
        pPixels[y * nWidth + x] = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
      }
    m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, MAKEINTATOM(atom), L"vantor test picture", WS_POPUP | WS_VISIBLE,
                               nLeft, nTop, nWidth, nHeight, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    ::UpdateWindow(m_hWnd);
  }
  ~CPictureWindow() {
    ::DestroyWindow(m_hWnd);
    ::DeleteObject(m_hPicture);
    PumpFor(50);
  }
  CPictureWindow(const CPictureWindow&) = delete;
  CPictureWindow& operator=(const CPictureWindow&) = delete;

  // Waits until the screen shows the picture (its corners and middle).
  bool WaitShown() {
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    return PumpUntil([&] {
      const int xs[] = {0, m_nWidth / 2, m_nWidth - 1}, ys[] = {0, m_nHeight / 2, m_nHeight - 1};
      for (int x : xs)
        for (int y : ys)
          if (ScreenPixel(rc.left + x, rc.top + y) != m_fnColour(x, y)) return false;
      return true;
    });
  }

  HWND m_hWnd = nullptr;

 private:
  static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCCREATE)
      ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* pThis = reinterpret_cast<CPictureWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis && uMsg == WM_PAINT) {
      PAINTSTRUCT ps;
      HDC hdc = ::BeginPaint(hWnd, &ps);
      HDC hMem = ::CreateCompatibleDC(hdc);
      HGDIOBJ hOld = ::SelectObject(hMem, pThis->m_hPicture);
      ::BitBlt(hdc, 0, 0, pThis->m_nWidth, pThis->m_nHeight, hMem, 0, 0, SRCCOPY);
      ::SelectObject(hMem, hOld);
      ::DeleteDC(hMem);
      ::EndPaint(hWnd, &ps);
      return 0;
    }
    if (pThis && uMsg == WM_SETCURSOR && pThis->m_hCursor) {
      ::SetCursor(pThis->m_hCursor);
      return TRUE;
    }
    if (uMsg == WM_ERASEBKGND) return TRUE;
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }

  int m_nWidth, m_nHeight;
  ColourFunction m_fnColour;
  HCURSOR m_hCursor;
  HBITMAP m_hPicture = nullptr;
};

}  // namespace vantor::test
