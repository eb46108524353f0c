// The end-to-end tests' view into the hook library of a running program, built in both
// bitnesses (a process's modules can only be listed by a process of its own bitness):
//   capture_probe record PROCESS OSTREL_DLL   what sg_Dll holds in that process, one
//                                             "name value" line each, numbers in decimal
//   capture_probe forget PROCESS OSTREL_DLL   clears sg_Dll's target window there, so the
//                                             next hand-over shows when it comes
//   capture_probe raise PID                   brings the process's first visible window to
//                                             the top of the Z order, without activating it
// PROCESS is a program's file name (the first process running it) or a process id;
// OSTREL_DLL the library's file, which the probe loads to learn where sg_Dll lies.
// Exit code 2 when the process or window is not found, 1 for other failures.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Ostrel/Ostrel.h"

namespace {

DWORD FindProcess(const char* pszProcess) {
  char* pszEnd = nullptr;
  const unsigned long nPid = std::strtoul(pszProcess, &pszEnd, 10);
  if (*pszProcess && *pszEnd == '\0') return nPid;
  wchar_t szProcess[MAX_PATH] = {};
  if (!MultiByteToWideChar(CP_ACP, 0, pszProcess, -1, szProcess, MAX_PATH)) return 0;
  HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (hSnapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  DWORD dwFound = 0;
  for (BOOL bMore = Process32FirstW(hSnapshot, &entry); bMore && !dwFound; bMore = Process32NextW(hSnapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, szProcess) == 0) dwFound = entry.th32ProcessID;
  }
  CloseHandle(hSnapshot);
  return dwFound;
}

DWORD ImageSize(const char* pszLibrary) {
  HMODULE hModule = LoadLibraryA(pszLibrary);
  if (!hModule) return 0;
  const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(hModule);
  const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(hModule) + pDos->e_lfanew);
  return pNt->OptionalHeader.SizeOfImage;
}

// Where sg_Dll lies in the process: the library's base there plus sg_Dll's distance
// from the base here (the same file, so the same distance).
class CRemoteRecord {
 public:
  ~CRemoteRecord() {
    if (m_hProcess) CloseHandle(m_hProcess);
  }

  int Open(const char* pszProcess, const char* pszOstrel) {
    HMODULE hOstrel = LoadLibraryA(pszOstrel);
    if (!hOstrel) return 1;
    const auto* pDll = reinterpret_cast<const BYTE*>(GetProcAddress(hOstrel, "sg_Dll"));
    if (!pDll) return 1;
    const std::size_t nOffset = static_cast<std::size_t>(pDll - reinterpret_cast<const BYTE*>(hOstrel));
    const char* pszName = std::strrchr(pszOstrel, '\\');
    const char* pszSlash = std::strrchr(pszOstrel, '/');
    if (!pszName || (pszSlash && pszSlash > pszName)) pszName = pszSlash;
    pszName = pszName ? pszName + 1 : pszOstrel;

    m_dwPid = FindProcess(pszProcess);
    if (!m_dwPid) {
      std::fprintf(stderr, "capture_probe: no process %s\n", pszProcess);
      return 2;
    }
    m_hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION,
                             FALSE, m_dwPid);
    if (!m_hProcess) {
      std::fprintf(stderr, "capture_probe: process %lu cannot be opened (error %lu)\n",
                   static_cast<unsigned long>(m_dwPid), static_cast<unsigned long>(GetLastError()));
      return 2;
    }
    // The module list is read out of the other process while it may be loading or
    // unloading libraries (the target watch's Direct3D probes do), and a list read in
    // the middle of a change fails or comes out short: read it again a little later.
    for (int nTry = 0; nTry < 20; ++nTry) {
      if (nTry > 0) Sleep(50);
      if (const BYTE* pBase = FindModule(pszName)) {
        m_pRecord = const_cast<BYTE*>(pBase) + nOffset;
        return 0;
      }
    }
    std::fprintf(stderr, "capture_probe: no %s in process %lu (error %lu)\n", pszName,
                 static_cast<unsigned long>(m_dwPid), static_cast<unsigned long>(GetLastError()));
    return 1;
  }

  // One field of the record, by its place in it (the probe never makes a record of its
  // own: its constructor lives in the library).
  template <class T>
  T Read(std::size_t nOffset) const {
    T value{};
    SIZE_T nRead = 0;
    if (!ReadProcessMemory(m_hProcess, m_pRecord + nOffset, &value, sizeof(value), &nRead) || nRead != sizeof(value)) {
      m_bReadFailed = true;
    }
    return value;
  }
  bool get_ReadFailed() const { return m_bReadFailed; }

  bool ForgetWindow() const {
    const HWND hNone = nullptr;
    SIZE_T nWritten = 0;
    return WriteProcessMemory(m_hProcess, m_pRecord + offsetof(CCOstrelDll, m_hMasterWnd), &hNone, sizeof(hNone),
                              &nWritten) &&
           nWritten == sizeof(hNone);
  }

  DWORD get_Pid() const { return m_dwPid; }

 private:
  const BYTE* FindModule(const char* pszName) const {
    HMODULE modules[512];
    DWORD cbNeeded = 0;
    if (!EnumProcessModules(m_hProcess, modules, sizeof(modules), &cbNeeded)) return nullptr;
    for (DWORD i = 0; i < cbNeeded / sizeof(HMODULE) && i < 512; ++i) {
      char szName[MAX_PATH] = {};
      GetModuleBaseNameA(m_hProcess, modules[i], szName, MAX_PATH);
      if (lstrcmpiA(szName, pszName) == 0) return reinterpret_cast<const BYTE*>(modules[i]);
    }
    return nullptr;
  }

  DWORD m_dwPid = 0;
  HANDLE m_hProcess = nullptr;
  BYTE* m_pRecord = nullptr;
  mutable bool m_bReadFailed = false;
};

void PrintValue(const char* pszName, unsigned long long nValue) { std::printf("%s %llu\n", pszName, nValue); }

int PrintRecord(const CRemoteRecord& remote) {
  const HWND hWnd = remote.Read<HWND>(offsetof(CCOstrelDll, m_hMasterWnd));
  const struct {
    const char* pszName;
    ULONG_PTR nValue;
  } values[] = {
      {"master-pid", remote.Read<ULONG_PTR>(offsetof(CCOstrelDll, m_nMasterPid))},
      {"d3d9-present", remote.Read<ULONG_PTR>(offsetof(CCOstrelDll, m_nD3D9Present))},
      {"d3d9-reset", remote.Read<ULONG_PTR>(offsetof(CCOstrelDll, m_nD3D9Reset))},
      {"d3d9-swapchain-present", remote.Read<ULONG_PTR>(offsetof(CCOstrelDll, m_nD3D9SwapChainPresent))},
      {"dxgi-present", remote.Read<ULONG_PTR>(offsetof(CCOstrelDll, m_nDXGIPresent))},
      {"dxgi-resize-buffers", remote.Read<ULONG_PTR>(offsetof(CCOstrelDll, m_nDXGIResizeBuffers))},
  };
  if (remote.get_ReadFailed()) return 1;
  DWORD dwWindowPid = 0;
  if (hWnd && IsWindow(hWnd)) GetWindowThreadProcessId(hWnd, &dwWindowPid);
  PrintValue("pid", remote.get_Pid());
  PrintValue("window", reinterpret_cast<ULONG_PTR>(hWnd));
  PrintValue("window-pid", dwWindowPid);
  for (const auto& value : values) PrintValue(value.pszName, value.nValue);
  // The offsets must lie inside their libraries; these are the same files here.
  PrintValue("d3d9-size", ImageSize("d3d9.dll"));
  PrintValue("dxgi-size", ImageSize("dxgi.dll"));
  std::fflush(stdout);
  return 0;
}

struct WindowSearch {
  DWORD dwPid;
  HWND hFound;
};

BOOL CALLBACK FindVisibleWindow(HWND hWnd, LPARAM lParam) {
  auto* pSearch = reinterpret_cast<WindowSearch*>(lParam);
  DWORD dwPid = 0;
  GetWindowThreadProcessId(hWnd, &dwPid);
  if (dwPid != pSearch->dwPid || !IsWindowVisible(hWnd)) return TRUE;
  pSearch->hFound = hWnd;
  return FALSE;
}

int Raise(const char* pszPid) {
  WindowSearch search = {static_cast<DWORD>(std::strtoul(pszPid, nullptr, 10)), nullptr};
  EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.hFound) return 2;
  return SetWindowPos(search.hFound, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "raise") == 0) return Raise(argv[2]);
  if (argc != 4) return 1;
  CRemoteRecord remote;
  if (const int nResult = remote.Open(argv[2], argv[3])) return nResult;
  if (std::strcmp(argv[1], "record") == 0) return PrintRecord(remote);
  if (std::strcmp(argv[1], "forget") == 0) return remote.ForgetWindow() ? 0 : 1;
  return 1;
}
