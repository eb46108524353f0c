// ScreenTarget: a window for the end-to-end recordings whose content changes in a known
// way every few milliseconds. It shows VantorRec's test pattern (frame number in code
// blocks, a moving bar) for its own frame counter, on a flat pad colour, so a decoded
// recording can be checked for what it shows and where:
//
//   window (560 x 320, at --at X,Y):  pad colour everywhere, except
//   the pattern (384 x 288) at (16, 16) of the window
//
// A second small pad-coloured window (--park X,Y) gives the pointer a resting place that
// Wine knows about, outside any recorded area.
//
// For the benchmark, --size W,H makes the window W x H with the pattern filling all but
// a 16-pixel pad margin, and --period MS draws a new frame every MS milliseconds (default
// about 100 frames per second).
//
// Standard input takes "marker on" (the pattern is replaced by plain red), "marker off"
// and "quit"; each is answered with "ok ..." on standard output once it is on the
// screen. At start it prints the standard arrow cursor's hotspot and the box its
// picture covers, relative to the point DrawIcon draws it at, then "ready".
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/TestPattern.h"

namespace {

int s_nWidth = 560, s_nHeight = 320;
constexpr int kPatternX = 16, kPatternY = 16;
int s_nPatternWidth = 384, s_nPatternHeight = 288;
constexpr COLORREF kPad = RGB(96, 160, 96);
constexpr UINT kMsgCommand = WM_APP + 1;

std::atomic<int> s_nMarker{0};

bool ParsePair(const char* sz, int* pA, int* pB) { return std::sscanf(sz, "%d,%d", pA, pB) == 2; }

void Reply(const char* sz) {
  std::printf("%s\n", sz);
  std::fflush(stdout);
}

// Where the arrow's picture lies relative to DrawIcon's point: drawn on the pad colour,
// the pixels that changed.
void DescribeArrow() {
  HCURSOR hArrow = ::LoadCursorW(nullptr, IDC_ARROW);
  ICONINFO info = {};
  int hx = 0, hy = 0;
  if (::GetIconInfo(hArrow, &info)) {
    hx = static_cast<int>(info.xHotspot);
    hy = static_cast<int>(info.yHotspot);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
  }
  constexpr int kSide = 96, kAt = 32;
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = kSide;
  bmi.bmiHeader.biHeight = -kSide;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* pBits = nullptr;
  HBITMAP hBitmap = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
  HDC hdc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ hOld = ::SelectObject(hdc, hBitmap);
  HBRUSH hPad = ::CreateSolidBrush(kPad);
  RECT rc = {0, 0, kSide, kSide};
  ::FillRect(hdc, &rc, hPad);
  ::DeleteObject(hPad);
  ::DrawIcon(hdc, kAt, kAt, hArrow);
  ::GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(pBits);
  const std::uint32_t nPad = GetRValue(kPad) << 16 | GetGValue(kPad) << 8 | GetBValue(kPad);
  int x0 = kSide, y0 = kSide, x1 = -1, y1 = -1;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      if ((p[y * kSide + x] & 0xFFFFFF) != nPad) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  ::SelectObject(hdc, hOld);
  ::DeleteDC(hdc);
  ::DeleteObject(hBitmap);
  std::printf("arrow hotspot=%d,%d box=%d,%d,%d,%d\n", hx, hy, x0 - kAt, y0 - kAt, x1 - x0 + 1, y1 - y0 + 1);
  std::fflush(stdout);
}

DWORD WINAPI ReadCommands(void* pThread) {
  const DWORD dwThread = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(pThread));
  char szLine[256];
  while (std::fgets(szLine, sizeof szLine, stdin)) {
    std::string str(szLine);
    while (!str.empty() && (str.back() == '\n' || str.back() == '\r')) str.pop_back();
    int nCommand = -1;
    if (str == "marker on") nCommand = 1;
    if (str == "marker off") nCommand = 0;
    if (str == "quit") nCommand = 2;
    if (nCommand < 0) continue;
    ::PostThreadMessageW(dwThread, kMsgCommand, static_cast<WPARAM>(nCommand), 0);
  }
  ::PostThreadMessageW(dwThread, kMsgCommand, 2, 0);
  return 0;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_ERASEBKGND) return TRUE;
  if (uMsg == WM_PAINT) {
    PAINTSTRUCT ps;
    ::BeginPaint(hWnd, &ps);
    ::EndPaint(hWnd, &ps);  // the draw loop paints everything
    return 0;
  }
  return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int x = 200, y = 150, px = -1, py = -1, nPeriod = 8, w = 0, h = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    char sz[64];
    std::snprintf(sz, sizeof sz, "%ls", argv[i + 1]);
    if (std::wcscmp(argv[i], L"--at") == 0 && !ParsePair(sz, &x, &y)) return 2;
    if (std::wcscmp(argv[i], L"--park") == 0 && !ParsePair(sz, &px, &py)) return 2;
    if (std::wcscmp(argv[i], L"--size") == 0 && (!ParsePair(sz, &w, &h) || w < 416 || h < 96)) return 2;
    if (std::wcscmp(argv[i], L"--period") == 0) nPeriod = std::atoi(sz);
  }
  if (w) {
    s_nWidth = w;
    s_nHeight = h;
    s_nPatternWidth = w - 2 * kPatternX;
    s_nPatternHeight = h - 2 * kPatternY;
  }
  if (px < 0) {
    px = ::GetSystemMetrics(SM_CXSCREEN) - 60;
    py = ::GetSystemMetrics(SM_CYSCREEN) - 60;
  }
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = ::CreateSolidBrush(kPad);
  wc.lpszClassName = L"VantorScreenTarget";
  ::RegisterClassW(&wc);
  HWND hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"Vantor screen target", WS_POPUP | WS_VISIBLE, x, y, s_nWidth,
                                s_nHeight, nullptr, nullptr, wc.hInstance, nullptr);
  HWND hPark = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, px, py, 40, 40, nullptr, nullptr,
                                 wc.hInstance, nullptr);
  if (!hWnd || !hPark) return 1;
  {
    HDC hdc = ::GetDC(hPark);
    RECT rc = {0, 0, 40, 40};
    HBRUSH hPad = ::CreateSolidBrush(kPad);
    ::FillRect(hdc, &rc, hPad);
    ::DeleteObject(hPad);
    ::ReleaseDC(hPark, hdc);
  }
  DescribeArrow();

  // The frame: pad colour, the pattern in its place. A DIB section, so a whole frame
  // reaches the window in one copy.
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = s_nWidth;
  bmi.bmiHeader.biHeight = s_nHeight;  // bottom-up, like the pattern's rows
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 24;
  void* pBits = nullptr;
  HBITMAP hFrame = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
  HDC hMem = ::CreateCompatibleDC(nullptr);
  ::SelectObject(hMem, hFrame);
  const auto nStride = static_cast<std::uint32_t>(vantor::DibRowBytes(s_nWidth));
  const auto nPatternStride = static_cast<std::uint32_t>(vantor::DibRowBytes(s_nPatternWidth));
  std::vector<std::uint8_t> pattern(static_cast<std::size_t>(nPatternStride) * s_nPatternHeight);
  auto* pFrame = static_cast<std::uint8_t*>(pBits);
  for (int row = 0; row < s_nHeight; ++row)
    for (int col = 0; col < s_nWidth; ++col) {
      std::uint8_t* p = pFrame + static_cast<std::size_t>(row) * nStride + 3 * col;
      p[0] = GetBValue(kPad);
      p[1] = GetGValue(kPad);
      p[2] = GetRValue(kPad);
    }

  HANDLE hReader = ::CreateThread(nullptr, 0, ReadCommands,
                                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(::GetCurrentThreadId())), 0,
                                  nullptr);
  if (hReader) ::CloseHandle(hReader);

  bool bReady = false;
  int nAnswer = -1;  // a command to confirm once the next frame is on the screen
  for (std::uint32_t nFrame = 0;; ++nFrame) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == kMsgCommand) {
        if (msg.wParam == 2) return 0;
        s_nMarker = static_cast<int>(msg.wParam);
        nAnswer = static_cast<int>(msg.wParam);
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (s_nMarker.load()) {
      for (int row = 0; row < s_nPatternHeight; ++row)
        for (int col = 0; col < s_nPatternWidth; ++col) {
          std::uint8_t* p = pattern.data() + static_cast<std::size_t>(row) * nPatternStride + 3 * col;
          p[0] = 0;
          p[1] = 0;
          p[2] = 255;
        }
    } else {
      vantor::DrawTestPattern(pattern.data(), s_nPatternWidth, s_nPatternHeight, nPatternStride, nFrame);
    }
    // Into the frame, bottom-up both: pattern row r (from the bottom) is window row
    // s_nHeight - 1 - (kPatternY + s_nPatternHeight - 1 - r).
    for (int r = 0; r < s_nPatternHeight; ++r) {
      const int nWindowRowFromBottom = s_nHeight - kPatternY - s_nPatternHeight + r;
      std::memcpy(pFrame + static_cast<std::size_t>(nWindowRowFromBottom) * nStride + 3 * kPatternX,
                  pattern.data() + static_cast<std::size_t>(r) * nPatternStride, 3 * s_nPatternWidth);
    }
    HDC hdc = ::GetDC(hWnd);
    ::BitBlt(hdc, 0, 0, s_nWidth, s_nHeight, hMem, 0, 0, SRCCOPY);
    ::ReleaseDC(hWnd, hdc);
    // An empty peek hands the frame to the screen now (and lets the window's messages in).
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE);
    if (!bReady) {
      ::Sleep(200);
      Reply("ready");
      bReady = true;
    }
    if (nAnswer >= 0) {
      // One more frame time, so that the frame is surely out before the answer.
      ::Sleep(30);
      Reply(nAnswer ? "ok marker on" : "ok marker off");
      nAnswer = -1;
    }
    ::Sleep(static_cast<DWORD>(nPeriod > 0 ? nPeriod : 1));
  }
}
