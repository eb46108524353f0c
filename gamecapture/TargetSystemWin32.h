// The target watch's view of the running system: the window walk, the module scan of
// other processes, the probes and the hook library. Windows-only.
#pragma once
#include <windows.h>

#include "gamecapture/TargetSelection.h"

namespace vantor {

// Window-walk callback: appends the process of every window that IsTargetWindow
// accepts to the CCandidateList that lParam points to. Always continues the walk.
BOOL CALLBACK EnumTargetWndProc(HWND hWnd, LPARAM lParam);

// The process class of ProcessClass.h for process dwPid, from its loaded modules.
int ClassifyProcess(DWORD dwPid);

class CTargetSystemWin32 : public ITargetSystem {
 public:
  // hMainWnd: the program's main window, which the probes are given.
  explicit CTargetSystemWin32(HWND hMainWnd) : m_hMainWnd(hMainWnd) {}

  bool IsGameHooked() override;
  bool FindShellProcess(ProcessId* pPid) override;
  void ListCandidates(CCandidateList* pCandidates) override;
  void RefreshHookSettings() override;
  int ClassifyProcess(ProcessId pid) override;
  TargetWindow FindProcessWindow(ProcessId pid) override;
  void ProbeDXGI() override;
  void ProbeD3D9() override;
  void HandOver(TargetWindow hWnd) override;

 private:
  HWND m_hMainWnd;
};

}  // namespace vantor
