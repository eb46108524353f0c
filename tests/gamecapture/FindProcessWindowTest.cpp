// The topmost window of a process, as target selection and the helper hook it.
#include "gamecapture/FindProcessWindow.h"

#include <gtest/gtest.h>

#include "platform/win32/Owners.h"

namespace vantor {
namespace {

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};
using CTestWindow = CUniqueHandle<WindowTraits>;

CTestWindow MakeWindow(const wchar_t* pszTitle) {
  return CTestWindow(CreateWindowExW(0, L"STATIC", pszTitle, WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr));
}

void RaiseToTop(HWND hWnd) {
  SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TEST(FindProcessWindow, GivesTheProcesssTopmostWindowVisibleOrNot) {
  const CTestWindow first = MakeWindow(L"first");
  const CTestWindow second = MakeWindow(L"second");
  ASSERT_TRUE(first && second);
  const DWORD dwSelf = GetCurrentProcessId();
  RaiseToTop(first.get());
  EXPECT_EQ(FindProcessWindow(dwSelf), first.get());
  RaiseToTop(second.get());
  EXPECT_EQ(FindProcessWindow(dwSelf), second.get());
}

TEST(FindProcessWindow, AProcessWithoutWindowsGivesNone) {
  // A console child of our own has no top-level window (its console, if any, belongs
  // to the console host); once it has ended its id names nobody.
  wchar_t szCommand[] = L"cmd.exe /c exit 0";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(nullptr, szCommand, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &si, &pi));
  const CHandle process(pi.hProcess), thread(pi.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  EXPECT_EQ(FindProcessWindow(pi.dwProcessId), nullptr);
  EXPECT_EQ(FindProcessWindow(0), nullptr);
}

}  // namespace
}  // namespace vantor
