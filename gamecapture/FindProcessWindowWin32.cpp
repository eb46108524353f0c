#include "gamecapture/FindProcessWindow.h"

namespace vantor {

namespace {

struct ProcessWindowSearch {
  DWORD dwProcessId;
  HWND hFound;
};

BOOL CALLBACK FindProcessWindowProc(HWND hWnd, LPARAM lParam) {
  auto* pSearch = reinterpret_cast<ProcessWindowSearch*>(lParam);
  DWORD dwOwner = 0;
  if (GetWindowThreadProcessId(hWnd, &dwOwner) && dwOwner == pSearch->dwProcessId) {
    pSearch->hFound = hWnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindProcessWindow(std::uint32_t nProcessId) {
  // A window that is gone answers process 0: never a match.
  if (nProcessId == 0) return nullptr;
  // EnumWindows walks the top-level windows from the top of the Z order and, unlike a
  // GetWindow(GW_HWNDNEXT) walk, cannot loop when windows come and go meanwhile.
  ProcessWindowSearch search = {static_cast<DWORD>(nProcessId), nullptr};
  EnumWindows(FindProcessWindowProc, reinterpret_cast<LPARAM>(&search));
  return search.hFound;
}

}  // namespace vantor
