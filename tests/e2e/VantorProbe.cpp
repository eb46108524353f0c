// The end-to-end tests' view into a running Vantor.exe, as another program on the same
// desktop sees it:
//   probe text TITLE ID            the text of control ID of the window titled TITLE
//   probe rect TITLE ID            its screen rectangle: left top right bottom
//   probe checked TITLE ID         its check state: 0, 1 (checked) or 2
//   probe click TITLE ID           presses button ID as a click does (BM_CLICK), also
//                                  where other windows cover it
//   probe post TITLE MSG WP LP     posts a message to that window (numbers in C syntax)
//   probe flags TITLE OSTREL_DLL   the hook library's command bits in the window's process
//   probe d3d9 TITLE OSTREL_DLL    the Direct3D 9 Present offset the target watch's
//                                  probe stored there (0 until a probe ran)
// A control ID is looked for among the window's children first, then among all its
// descendants (the option pages' controls live inside the tab control's pages).
//   probe hold TITLE [WORD]        shows a window titled TITLE near the bottom right
//                                  corner, away from the dialog (keyboard focus for keys
//                                  sent by the tests) and, with WORD, holds that hotkey
//                                  word the way Vantor registers one; runs until killed
// A window that is not found is exit code 2; other failures 1.
#include <windows.h>

#include <psapi.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Ostrel/Ostrel.h"
#include "platform/Text.h"
#include "ui/CommandRules.h"

namespace {

HWND FindTop(const char* pszTitle) {
  const std::wstring strTitle = vantor::WideFromUtf8(pszTitle);
  return FindWindowW(nullptr, strTitle.c_str());
}

long Number(const char* psz) { return std::strtol(psz, nullptr, 0); }

struct DescendantSearch {
  int nId;
  HWND hFound;
};

BOOL CALLBACK FindDescendant(HWND hWnd, LPARAM lParam) {
  auto* pSearch = reinterpret_cast<DescendantSearch*>(lParam);
  if (GetDlgCtrlID(hWnd) != pSearch->nId) return TRUE;
  pSearch->hFound = hWnd;
  return FALSE;
}

HWND FindControl(HWND hTop, const char* pszId) {
  const int nId = static_cast<int>(Number(pszId));
  if (HWND hChild = GetDlgItem(hTop, nId)) return hChild;
  DescendantSearch search = {nId, nullptr};
  EnumChildWindows(hTop, FindDescendant, reinterpret_cast<LPARAM>(&search));
  return search.hFound;
}

// WM_GETTEXT, which the system carries across processes: GetWindowText would read only
// the caption kept with the window, which an edit box's or a combo box's text is not.
int PrintText(HWND hControl) {
  wchar_t sz[1024] = {};
  DWORD_PTR nResult = 0;
  if (!SendMessageTimeoutW(hControl, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(sz), SMTO_ABORTIFHUNG, 5000,
                           &nResult)) {
    return 1;
  }
  std::printf("%s\n", vantor::Utf8FromWide(sz).c_str());
  return 0;
}

// A field of sg_Dll: sg_Dll lies at the same place in the library wherever it is loaded,
// so its distance from the base in this process finds it in the other one.
template <class T>
int PrintDllField(HWND hWnd, const char* pszOstrel, std::size_t nField) {
  HMODULE hOstrel = LoadLibraryA(pszOstrel);
  if (!hOstrel) return 1;
  const auto* pDll = reinterpret_cast<const BYTE*>(GetProcAddress(hOstrel, "sg_Dll"));
  if (!pDll) return 1;
  const std::size_t nOffset = static_cast<std::size_t>(pDll - reinterpret_cast<const BYTE*>(hOstrel)) + nField;
  DWORD dwPid = 0;
  GetWindowThreadProcessId(hWnd, &dwPid);
  HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwPid);
  if (!hProcess) return 1;
  HMODULE modules[256];
  DWORD cbNeeded = 0;
  int nResult = 1;
  if (EnumProcessModules(hProcess, modules, sizeof(modules), &cbNeeded)) {
    for (DWORD i = 0; i < cbNeeded / sizeof(HMODULE) && i < 256; ++i) {
      wchar_t szName[MAX_PATH] = {};
      GetModuleBaseNameW(hProcess, modules[i], szName, MAX_PATH);
      if (lstrcmpiW(szName, L"Ostrel.dll") != 0 && lstrcmpiW(szName, L"OstrelX64.dll") != 0) continue;
      T value = 0;
      SIZE_T nRead = 0;
      if (ReadProcessMemory(hProcess, reinterpret_cast<const BYTE*>(modules[i]) + nOffset, &value, sizeof(value),
                            &nRead) &&
          nRead == sizeof(value)) {
        std::printf("%lld\n", static_cast<long long>(value));
        nResult = 0;
      }
      break;
    }
  }
  CloseHandle(hProcess);
  return nResult;
}

int Hold(const char* pszTitle, const char* pszWord) {
  const std::wstring strTitle = vantor::WideFromUtf8(pszTitle);
  HWND hWnd = CreateWindowExW(0, L"STATIC", strTitle.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 1400, 700, 240, 120,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hWnd) return 1;
  if (pszWord) {
    const auto wWord = static_cast<std::uint16_t>(Number(pszWord));
    if (!RegisterHotKey(hWnd, 1, vantor::HotKeyToModifiers(wWord), vantor::HotKeyVirtualKey(wWord))) return 1;
  }
  SetForegroundWindow(hWnd);
  std::printf("holding\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  const std::string strCommand = argv[1];
  if (strCommand == "hold") return Hold(argv[2], argc > 3 ? argv[3] : nullptr);
  HWND hWnd = FindTop(argv[2]);
  if (!hWnd) return 2;
  if (strCommand == "text" && argc == 4) {
    HWND hControl = FindControl(hWnd, argv[3]);
    return hControl ? PrintText(hControl) : 2;
  }
  if (strCommand == "checked" && argc == 4) {
    HWND hControl = FindControl(hWnd, argv[3]);
    if (!hControl) return 2;
    std::printf("%d\n", static_cast<int>(SendMessageW(hControl, BM_GETCHECK, 0, 0)));
    return 0;
  }
  if (strCommand == "click" && argc == 4) {
    HWND hControl = FindControl(hWnd, argv[3]);
    if (!hControl) return 2;
    DWORD_PTR nResult = 0;
    return SendMessageTimeoutW(hControl, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &nResult) ? 0 : 1;
  }
  if (strCommand == "rect" && argc == 4) {
    HWND hControl = FindControl(hWnd, argv[3]);
    RECT rc{};
    if (!hControl || !GetWindowRect(hControl, &rc)) return 2;
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
    return 0;
  }
  if (strCommand == "post" && argc == 6) {
    return PostMessageW(hWnd, static_cast<UINT>(Number(argv[3])), static_cast<WPARAM>(Number(argv[4])),
                        static_cast<LPARAM>(Number(argv[5])))
               ? 0
               : 1;
  }
  if (strCommand == "flags" && argc == 4)
    return PrintDllField<LONG>(hWnd, argv[3], offsetof(CCOstrelDll, m_nCommandFlags));
  if (strCommand == "d3d9" && argc == 4) {
    return PrintDllField<ULONG_PTR>(hWnd, argv[3], offsetof(CCOstrelDll, m_nD3D9Present));
  }
  return 1;
}
