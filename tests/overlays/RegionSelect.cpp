// RegionSelect: the region selection window on its own, for the end-to-end test
// (region_select.sh), until the video options page opens it in the program. It creates
// the window as the main dialog does, tells what it made, and then, for each "show" on
// standard input, shows it as the page's region button does; when the window has hidden
// itself it prints the recording area it left behind:
//
//   created class=ShiftRegionWindow icon=yes cursor=cross title=Title style=popup,topmost,hidden rect=0,0,W,H
//   ready
//   shown                                  (after "show": the window is on the screen)
//   hidden capture=L,T,R,B                 (the selection ended: g_CaptureRect)
//   repainted                              (after "repaint": the whole window painted again)
//
// --capture L,T,R,B sets the recording area beforehand; --backdrop L,T,W,H first shows
// a window with a many-coloured picture under everything, so that inverted and restored
// pixels can be told apart from the black screen. --text-cell TEXT draws TEXT as the
// label's text alone (stock variable-pitch font, label blue on white) into a PPM
// picture named by --out, and prints "cell=CX,CY": what the label must show, made
// without the window. --module-icon FILE tells whether a program file has the window's
// icon "QIRVAX" ("module icon=yes"). "quit" ends the program.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "ScreenTestSupport.h"
#include "overlays/RegionWindow.h"
#include "recording/RecordingSettings.h"

namespace {

using namespace vantor;

constexpr UINT kMsgCommand = WM_APP + 1;
enum Command : WPARAM { kShow = 1, kQuit = 2, kRepaint = 3 };

void Reply(const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  std::vfprintf(stdout, szFormat, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Narrow(const wchar_t* sz) {
  std::string str;
  for (; *sz; ++sz) str += static_cast<char>(*sz < 128 ? *sz : '?');
  return str;
}

DWORD WINAPI ReadCommands(void* pThread) {
  const DWORD dwThread = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(pThread));
  char szLine[256];
  while (std::fgets(szLine, sizeof szLine, stdin)) {
    std::string str(szLine);
    while (!str.empty() && (str.back() == '\n' || str.back() == '\r')) str.pop_back();
    if (str == "show") ::PostThreadMessageW(dwThread, kMsgCommand, kShow, 0);
    if (str == "repaint") ::PostThreadMessageW(dwThread, kMsgCommand, kRepaint, 0);
    if (str == "quit") break;
  }
  ::PostThreadMessageW(dwThread, kMsgCommand, kQuit, 0);
  return 0;
}

void DescribeWindow() {
  HWND hWnd = g_RegionWnd;
  if (!hWnd) {
    Reply("created nothing");
    return;
  }
  wchar_t szClass[64] = {}, szTitle[64] = {};
  ::GetClassNameW(hWnd, szClass, 64);
  ::GetWindowTextW(hWnd, szTitle, 64);
  const bool bIcon = ::GetClassLongPtrW(hWnd, GCLP_HICON) != 0;
  const bool bCross =
      reinterpret_cast<HCURSOR>(::GetClassLongPtrW(hWnd, GCLP_HCURSOR)) == ::LoadCursorW(nullptr, IDC_CROSS);
  const bool bNoBrush = ::GetClassLongPtrW(hWnd, GCLP_HBRBACKGROUND) == 0;
  const LONG nStyle = ::GetWindowLongW(hWnd, GWL_STYLE), nExStyle = ::GetWindowLongW(hWnd, GWL_EXSTYLE);
  std::string strStyle = (nStyle & WS_POPUP) ? "popup" : "notpopup";
  if (nStyle & (WS_CAPTION | WS_THICKFRAME | WS_BORDER)) strStyle += ",framed";
  strStyle += (nExStyle & WS_EX_TOPMOST) ? ",topmost" : ",nottopmost";
  strStyle += ::IsWindowVisible(hWnd) ? ",visible" : ",hidden";
  RECT rc = {};
  ::GetWindowRect(hWnd, &rc);
  Reply("created class=%s icon=%s cursor=%s background=%s title=%s style=%s rect=%ld,%ld,%ld,%ld",
        Narrow(szClass).c_str(), bIcon ? "yes" : "no", bCross ? "cross" : "other", bNoBrush ? "none" : "brush",
        Narrow(szTitle).c_str(), strStyle.c_str(), rc.left, rc.top, rc.right, rc.bottom);
}

// Many colours, none of them a hatch colour's inverse everywhere.
COLORREF Backdrop(int x, int y) { return RGB((x * 7 + y) & 0xFF, (y * 5 + 40) & 0xFF, ((x + y) * 3 + 90) & 0xFF); }

// The label's text alone, drawn as the label draws it, into a PPM picture.
int WriteTextCell(const char* szText, const wchar_t* szOut) {
  HDC hScreen = ::GetDC(nullptr);
  HDC hdc = ::CreateCompatibleDC(hScreen);
  ::ReleaseDC(nullptr, hScreen);
  HGDIOBJ hOldFont = ::SelectObject(hdc, ::GetStockObject(ANSI_VAR_FONT));
  SIZE size = {};
  ::GetTextExtentPoint32A(hdc, szText, static_cast<int>(std::strlen(szText)), &size);
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = size.cx;
  bmi.bmiHeader.biHeight = -size.cy;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* pBits = nullptr;
  HBITMAP hBitmap = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
  if (!hBitmap) return 1;
  HGDIOBJ hOldBitmap = ::SelectObject(hdc, hBitmap);
  ::SetTextColor(hdc, RGB(36, 107, 185));
  ::SetBkColor(hdc, RGB(255, 255, 255));
  ::SetBkMode(hdc, OPAQUE);
  ::TextOutA(hdc, 0, 0, szText, static_cast<int>(std::strlen(szText)));
  ::GdiFlush();
  FILE* pFile = _wfopen(szOut, L"wb");
  if (!pFile) return 1;
  std::fprintf(pFile, "P6\n%ld %ld\n255\n", size.cx, size.cy);
  const auto* p = static_cast<const std::uint32_t*>(pBits);
  for (long i = 0; i < size.cx * size.cy; ++i) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(p[i] >> 16), static_cast<unsigned char>(p[i] >> 8),
                                  static_cast<unsigned char>(p[i])};
    std::fwrite(rgb, 1, 3, pFile);
  }
  std::fclose(pFile);
  ::SelectObject(hdc, hOldBitmap);
  ::SelectObject(hdc, hOldFont);
  ::DeleteObject(hBitmap);
  ::DeleteDC(hdc);
  Reply("cell=%ld,%ld", size.cx, size.cy);
  return 0;
}

// Whether a program file carries the region window's icon: "module icon=yes|no".
int ReportModuleIcon(const wchar_t* szPath) {
  HMODULE hModule = ::LoadLibraryExW(szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!hModule) return 1;
  const bool bIcon = ::FindResourceW(hModule, L"QIRVAX", RT_GROUP_ICON) != nullptr;
  ::FreeLibrary(hModule);
  Reply("module icon=%s", bIcon ? "yes" : "no");
  return 0;
}

bool ParseRect(const wchar_t* sz, int* p) { return std::swscanf(sz, L"%d,%d,%d,%d", p, p + 1, p + 2, p + 3) == 4; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int backdrop[4] = {0, 0, 0, 0};
  std::string strText;
  const wchar_t* szOut = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    int r[4];
    if (std::wcscmp(argv[i], L"--capture") == 0) {
      if (!ParseRect(argv[i + 1], r)) return 2;
      g_CaptureRect = {r[0], r[1], r[2], r[3]};
    } else if (std::wcscmp(argv[i], L"--backdrop") == 0) {
      if (!ParseRect(argv[i + 1], backdrop)) return 2;
    } else if (std::wcscmp(argv[i], L"--text-cell") == 0) {
      strText = Narrow(argv[i + 1]);
    } else if (std::wcscmp(argv[i], L"--out") == 0) {
      szOut = argv[i + 1];
    } else if (std::wcscmp(argv[i], L"--module-icon") == 0) {
      return ReportModuleIcon(argv[i + 1]);
    } else {
      return 2;
    }
  }
  if (!strText.empty()) return szOut ? WriteTextCell(strText.c_str(), szOut) : 2;

  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue, before anyone posts to it
  std::unique_ptr<test::CPictureWindow> pBackdrop;
  if (backdrop[2] > 0 && backdrop[3] > 0) {
    pBackdrop = std::make_unique<test::CPictureWindow>(backdrop[0], backdrop[1], backdrop[2], backdrop[3], &Backdrop);
    if (!pBackdrop->WaitShown()) Reply("backdrop not shown");
  }

  CreateRegionWindow();
  DescribeWindow();
  if (!g_RegionWnd) return 1;
  HANDLE hReader =
      ::CreateThread(nullptr, 0, &ReadCommands,
                     reinterpret_cast<void*>(static_cast<std::uintptr_t>(::GetCurrentThreadId())), 0, nullptr);
  if (!hReader) return 1;
  ::CloseHandle(hReader);
  Reply("ready");

  bool bShown = false;
  for (;;) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == nullptr && msg.message == kMsgCommand) {
        if (msg.wParam == kQuit) return 0;
        if (msg.wParam == kShow && !bShown) {
          // As the video options page's region button does.
          ::ShowWindow(g_RegionWnd, SW_SHOWMAXIMIZED);
          ::UpdateWindow(g_RegionWnd);
          test::PumpFor(300);
          bShown = true;
          Reply("shown");
        }
        if (msg.wParam == kRepaint) {
          // As when something that covered the window goes away.
          ::InvalidateRect(g_RegionWnd, nullptr, TRUE);
          ::UpdateWindow(g_RegionWnd);
          test::PumpFor(300);
          Reply("repainted");
        }
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (bShown && !::IsWindowVisible(g_RegionWnd)) {
      bShown = false;
      test::PumpFor(300);  // what lay under the window paints itself again
      const CaptureRect& rc = g_CaptureRect;
      Reply("hidden capture=%d,%d,%d,%d", rc.left, rc.top, rc.right, rc.bottom);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}
