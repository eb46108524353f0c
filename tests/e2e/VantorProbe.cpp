// The end-to-end tests' view into a running Vantor.exe, as another program on the same
// desktop sees it:
//   probe text TITLE ID            the text of control ID of the window titled TITLE
//   probe rect TITLE ID            its screen rectangle: left top right bottom
//   probe state TITLE ID           "checked N enabled N visible N" of a button or any control
//   probe rows TITLE ID            a combo box's rows, one a line
//   probe selected TITLE ID        the text of its selected row (exit 3: none selected)
//   probe choose TITLE ID TEXT     selects the row whose text is exactly TEXT and tells the
//                                  box's parent with CBN_SELCHANGE, as a click on the row
//                                  does (posted: what the parent does may open a modal box);
//                                  exit 3 when no row has that text
//   probe hotkey TITLE ID          the word of a hotkey control
//   probe topmost TITLE            1 when the window stays on top (WS_EX_TOPMOST), else 0
//   probe tab TITLE ID INDEX       the screen rectangle of tab INDEX of tab control ID
//   probe shown TITLE              exit 0 when a visible window has that title, else 2
//   probe texts TITLE              the texts of all the window's controls, one a line
//   probe click TITLE ID           presses button ID as a click does (BM_CLICK), also
//                                  where other windows cover it
//   probe post TITLE MSG WP LP     posts a message to that window (numbers in C syntax)
//   probe flags TITLE OSTREL_DLL   the hook library's command bits in the window's process
//   probe d3d9 TITLE OSTREL_DLL    the Direct3D 9 Present offset the target watch's
//                                  probe stored there (0 until a probe ran)
//   probe hold TITLE [WORD]        shows a window titled TITLE near the bottom right
//                                  corner, away from the dialog (keyboard focus for keys
//                                  sent by the tests) and, with WORD, holds that hotkey
//                                  word the way Vantor registers one; runs until killed
// ID may be a path through child windows, "279/1052": control 1052 of the page with id
// 279, wherever that sits below the window. A window that is not found is exit code 2;
// other failures 1.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Ostrel/Ostrel.h"
#include "platform/Text.h"
#include "ui/CommandRules.h"

namespace {

HWND FindTop(const char* pszTitle) {
  const std::wstring strTitle = vantor::WideFromUtf8(pszTitle);
  return FindWindowW(nullptr, strTitle.c_str());
}

long Number(const char* psz) { return std::strtol(psz, nullptr, 0); }

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

struct FindById {
  int nId;
  HWND hFound;
};

BOOL CALLBACK MatchId(HWND hWnd, LPARAM lParam) {
  auto* pFind = reinterpret_cast<FindById*>(lParam);
  if (GetDlgCtrlID(hWnd) != pFind->nId) return TRUE;
  pFind->hFound = hWnd;
  return FALSE;
}

// Follows a path of control ids ("279/1052"): each step a direct child when there is
// one with that id, else the first descendant with it.
HWND FindControl(HWND hWnd, const char* pszPath) {
  std::string strPath = pszPath;
  std::size_t nAt = 0;
  while (hWnd && nAt <= strPath.size()) {
    const std::size_t nSlash = strPath.find('/', nAt);
    const std::string strId = strPath.substr(nAt, nSlash == std::string::npos ? std::string::npos : nSlash - nAt);
    const int nId = static_cast<int>(Number(strId.c_str()));
    HWND hChild = GetDlgItem(hWnd, nId);
    if (!hChild) {
      FindById find{nId, nullptr};
      EnumChildWindows(hWnd, MatchId, reinterpret_cast<LPARAM>(&find));
      hChild = find.hFound;
    }
    hWnd = hChild;
    if (nSlash == std::string::npos) break;
    nAt = nSlash + 1;
  }
  return hWnd;
}

// A combo box's row texts (the system carries these across processes).
std::vector<std::wstring> ComboRows(HWND hCombo) {
  std::vector<std::wstring> rows;
  const LRESULT nCount = SendMessageW(hCombo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < nCount; ++i) {
    const LRESULT nLength = SendMessageW(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring strRow(nLength > 0 ? static_cast<std::size_t>(nLength) + 1 : 1, L'\0');
    const LRESULT nCopied =
        SendMessageW(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(strRow.data()));
    strRow.resize(nCopied > 0 ? static_cast<std::size_t>(nCopied) : 0);
    rows.push_back(strRow);
  }
  return rows;
}

int ChooseRow(HWND hCombo, const char* pszText) {
  const std::wstring strText = vantor::WideFromUtf8(pszText);
  const std::vector<std::wstring> rows = ComboRows(hCombo);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] != strText) continue;
    SendMessageW(hCombo, CB_SETCURSEL, i, 0);
    PostMessageW(GetParent(hCombo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hCombo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(hCombo));
    return 0;
  }
  return 3;
}

// A tab's rectangle on the screen: the tab control writes it into the program's own
// memory, read back from there.
int PrintTabRect(HWND hTab, int nIndex) {
  DWORD dwPid = 0;
  GetWindowThreadProcessId(hTab, &dwPid);
  HANDLE hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, dwPid);
  if (!hProcess) return 1;
  int nResult = 1;
  if (void* pRemote = VirtualAllocEx(hProcess, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE)) {
    RECT rc{};
    SIZE_T nRead = 0;
    if (SendMessageW(hTab, TCM_GETITEMRECT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(pRemote)) &&
        ReadProcessMemory(hProcess, pRemote, &rc, sizeof rc, &nRead) && nRead == sizeof rc) {
      MapWindowPoints(hTab, nullptr, reinterpret_cast<POINT*>(&rc), 2);
      std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
      nResult = 0;
    }
    VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
  }
  CloseHandle(hProcess);
  return nResult;
}

BOOL CALLBACK PrintChildText(HWND hWnd, LPARAM /*lParam*/) {
  PrintText(hWnd);
  return TRUE;
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
  if (strCommand == "shown") return hWnd && IsWindowVisible(hWnd) ? 0 : 2;
  if (!hWnd) return 2;
  if (strCommand == "topmost") {
    std::printf("%d\n", (GetWindowLongW(hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0);
    return 0;
  }
  if (strCommand == "texts") {
    EnumChildWindows(hWnd, PrintChildText, 0);
    return 0;
  }
  if (strCommand == "post" && argc == 6) {
    return PostMessageW(hWnd, static_cast<UINT>(Number(argv[3])), static_cast<WPARAM>(Number(argv[4])),
                        static_cast<LPARAM>(Number(argv[5])))
               ? 0
               : 1;
  }
  if (strCommand == "flags" && argc == 4) {
    return PrintDllField<LONG>(hWnd, argv[3], offsetof(CCOstrelDll, m_nCommandFlags));
  }
  if (strCommand == "d3d9" && argc == 4) {
    return PrintDllField<ULONG_PTR>(hWnd, argv[3], offsetof(CCOstrelDll, m_nD3D9Present));
  }
  // Every other command names a control.
  if (argc < 4) return 1;
  HWND hControl = FindControl(hWnd, argv[3]);
  if (!hControl) return 2;
  if (strCommand == "text" && argc == 4) return PrintText(hControl);
  if (strCommand == "state" && argc == 4) {
    std::printf("checked %d enabled %d visible %d\n", static_cast<int>(SendMessageW(hControl, BM_GETCHECK, 0, 0)),
                IsWindowEnabled(hControl) ? 1 : 0, IsWindowVisible(hControl) ? 1 : 0);
    return 0;
  }
  if (strCommand == "rows" && argc == 4) {
    for (const std::wstring& strRow : ComboRows(hControl)) std::printf("%s\n", vantor::Utf8FromWide(strRow).c_str());
    return 0;
  }
  if (strCommand == "selected" && argc == 4) {
    const LRESULT nRow = SendMessageW(hControl, CB_GETCURSEL, 0, 0);
    const std::vector<std::wstring> rows = ComboRows(hControl);
    if (nRow < 0 || static_cast<std::size_t>(nRow) >= rows.size()) return 3;
    std::printf("%s\n", vantor::Utf8FromWide(rows[static_cast<std::size_t>(nRow)]).c_str());
    return 0;
  }
  if (strCommand == "choose" && argc == 5) return ChooseRow(hControl, argv[4]);
  if (strCommand == "hotkey" && argc == 4) {
    std::printf("%u\n", static_cast<unsigned>(SendMessageW(hControl, HKM_GETHOTKEY, 0, 0) & 0xFFFF));
    return 0;
  }
  if (strCommand == "click" && argc == 4) {
    DWORD_PTR nResult = 0;
    return SendMessageTimeoutW(hControl, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &nResult) ? 0 : 1;
  }
  if (strCommand == "tab" && argc == 5) return PrintTabRect(hControl, static_cast<int>(Number(argv[4])));
  if (strCommand == "rect" && argc == 4) {
    RECT rc{};
    if (!GetWindowRect(hControl, &rc)) return 2;
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
    return 0;
  }
  return 1;
}
