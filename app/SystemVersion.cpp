#include "app/SystemVersion.h"

#include "app/Globals.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantor {

#ifdef _WIN32
namespace {

// Without a compatibility manifest Windows 8.1 and later report 6.2 here, which is
// still "Windows 7 or later": all the program needs to know.
bool QueryVersion(OSVERSIONINFOEXW* pInfo) {
  ZeroMemory(pInfo, sizeof(*pInfo));
  pInfo->dwOSVersionInfoSize = sizeof(*pInfo);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(pInfo)) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace

void DetectSystem() {
  static_assert(sizeof(OSVERSIONINFOEXW) == 284);
  OSVERSIONINFOEXW info;
  g_bWin7OrLater = QueryVersion(&info) && IsWin7OrLaterVersion(info.dwMajorVersion, info.dwMinorVersion);

  g_bWow64 = 0;
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  if (HMODULE hKernel = GetModuleHandleW(L"kernel32")) {
    auto pfn = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(hKernel, "IsWow64Process")));
    BOOL bWow64 = FALSE;
    if (pfn && pfn(GetCurrentProcess(), &bWow64)) g_bWow64 = bWow64 ? 1 : 0;
  }
}
#else
void DetectSystem() {
  g_bWin7OrLater = 0;
  g_bWow64 = 0;
}
#endif

}  // namespace vantor
