// Looks at a running Vantor.exe's main window from outside, as a user's tools would,
// and prints what it finds, one fact a line (UTF-8), for the end-to-end scripts to
// compare: each control's id, class and text, the tab control's labels (read across
// the process boundary), where it sits against the placeholder, and its pages.
//   VantorDialogProbe "window title"
// Exit code 1 when no such window appears.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& s) {
  if (s.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring TextOf(HWND h) {
  wchar_t sz[512] = {};
  GetWindowTextW(h, sz, 512);
  return sz;
}

std::wstring ClassOf(HWND h) {
  wchar_t sz[64] = {};
  GetClassNameW(h, sz, 64);
  return sz;
}

RECT RectIn(HWND h, HWND hParent) {
  RECT rc = {};
  GetWindowRect(h, &rc);
  MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// A tab's label, read through memory in the program's process: the tab control
// writes it where TCITEM points, which must be the program's own memory.
std::wstring TabLabel(HWND hTab, int nIndex) {
  DWORD dwPid = 0;
  GetWindowThreadProcessId(hTab, &dwPid);
  HANDLE hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, dwPid);
  if (!hProcess) return L"?";
  constexpr int kChars = 128;
  const SIZE_T nBytes = sizeof(TCITEMW) + kChars * sizeof(wchar_t);
  auto* pRemote = static_cast<BYTE*>(VirtualAllocEx(hProcess, nullptr, nBytes, MEM_COMMIT, PAGE_READWRITE));
  std::wstring strLabel = L"?";
  if (pRemote) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(pRemote + sizeof(TCITEMW));
    item.cchTextMax = kChars;
    wchar_t szText[kChars] = {};
    SIZE_T nDone = 0;
    if (WriteProcessMemory(hProcess, pRemote, &item, sizeof(item), &nDone) &&
        WriteProcessMemory(hProcess, pRemote + sizeof(TCITEMW), szText, sizeof(szText), &nDone) &&
        SendMessageW(hTab, TCM_GETITEMW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(pRemote)) &&
        ReadProcessMemory(hProcess, pRemote + sizeof(TCITEMW), szText, sizeof(szText), &nDone)) {
      szText[kChars - 1] = 0;
      strLabel = szText;
    }
    VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
  }
  CloseHandle(hProcess);
  return strLabel;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: VantorDialogProbe TITLE\n", stderr);
    return 2;
  }
  HWND hDlg = nullptr;
  for (int i = 0; i < 200 && !hDlg; ++i) {
    hDlg = FindWindowW(L"#32770", argv[1]);
    if (!hDlg) Sleep(100);
  }
  if (!hDlg) {
    std::fputs("no such window\n", stderr);
    return 1;
  }
  // The dialog's initialisation ends with its texts; wait until it shows.
  for (int i = 0; i < 200 && !IsWindowVisible(hDlg); ++i) Sleep(100);

  std::printf("title %s\n", Utf8(TextOf(hDlg)).c_str());
  for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    const LONG_PTR nStyle = GetWindowLongPtrW(h, GWL_STYLE);
    std::printf("control %d %s%s \"%s\"\n", GetDlgCtrlID(h), Utf8(ClassOf(h)).c_str(),
                (nStyle & WS_VISIBLE) ? "" : " hidden", Utf8(TextOf(h)).c_str());
  }
  HWND hTab = GetDlgItem(hDlg, 4001);
  if (!hTab) return 0;
  const int nTabs = static_cast<int>(SendMessageW(hTab, TCM_GETITEMCOUNT, 0, 0));
  std::string strLabels;
  for (int i = 0; i < nTabs; ++i) strLabels += (i ? "|" : "") + Utf8(TabLabel(hTab, i));
  std::printf("tabs %d %s\n", nTabs, strLabels.c_str());
  const RECT rcTab = RectIn(hTab, hDlg);
  const RECT rcPlace = RectIn(GetDlgItem(hDlg, 1217), hDlg);
  std::printf("tab on placeholder %s\n", EqualRect(&rcTab, &rcPlace) ? "yes" : "no");
  for (HWND h = GetWindow(hTab, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    std::printf("page %d parent %s%s\n", GetDlgCtrlID(h), GetParent(h) == hTab ? "tab" : "other",
                IsWindowVisible(h) ? " shown" : "");
  }
  return 0;
}
