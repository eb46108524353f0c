// ProcessWatch NAME: waits for a process of that program name (e.g. VantorX64.exe) to
// appear, says its id and how many visible windows it has, then waits for it to end
// and says its exit code. For the end-to-end tests, which watch Vantor's helper from
// the outside.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>

namespace {

DWORD FindProcess(const wchar_t* pszName) {
  for (;;) {
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot != INVALID_HANDLE_VALUE) {
      PROCESSENTRY32W entry = {};
      entry.dwSize = sizeof(entry);
      DWORD dwFound = 0;
      for (BOOL b = Process32FirstW(hSnapshot, &entry); b && !dwFound; b = Process32NextW(hSnapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, pszName) == 0) dwFound = entry.th32ProcessID;
      }
      CloseHandle(hSnapshot);
      if (dwFound) return dwFound;
    }
    Sleep(50);
  }
}

struct WindowCount {
  DWORD dwProcessId;
  int nVisible;
};

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam) {
  auto* pCount = reinterpret_cast<WindowCount*>(lParam);
  DWORD dwOwner = 0;
  GetWindowThreadProcessId(hWnd, &dwOwner);
  if (dwOwner == pCount->dwProcessId && IsWindowVisible(hWnd)) ++pCount->nVisible;
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const DWORD dwPid = FindProcess(argv[1]);
  const HANDLE hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwPid);
  if (!hProcess) return 3;
  std::printf("pid %lu\n", static_cast<unsigned long>(dwPid));
  std::fflush(stdout);
  // A window a hidden start failed to hide would be there by the time "begin" is read.
  Sleep(500);
  WindowCount count = {dwPid, 0};
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
  std::printf("visible-windows %d\n", count.nVisible);
  std::fflush(stdout);
  WaitForSingleObject(hProcess, INFINITE);
  DWORD dwExitCode = 0xDEAD;
  GetExitCodeProcess(hProcess, &dwExitCode);
  std::printf("exit %lu\n", static_cast<unsigned long>(dwExitCode));
  std::fflush(stdout);
  CloseHandle(hProcess);
  return 0;
}
