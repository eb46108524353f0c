#include "gamecapture/TargetSystemWin32.h"

#include <psapi.h>

#include <vector>

#include "Ostrel/Ostrel.h"
#include "gamecapture/FindProcessWindow.h"
#include "gamecapture/HookSettingsWin32.h"
#include "gamecapture/ProcessClass.h"
#include "gamecapture/TargetWatch.h"
#include "gamecapture/TargetWindowRule.h"
#include "gamecapture/Test_DX10.h"
#include "gamecapture/Test_DX9.h"
#include "platform/win32/Owners.h"

namespace vantor {

BOOL CALLBACK EnumTargetWndProc(HWND hWnd, LPARAM lParam) {
  auto* pCandidates = reinterpret_cast<CCandidateList*>(lParam);
  if (!g_bTargetThreadRun) return TRUE;
  TargetWindowFacts facts;
  facts.bVisible = IsWindowVisible(hWnd) != FALSE;
  if (!facts.bVisible) return TRUE;
  const HWND hOwner = reinterpret_cast<HWND>(GetWindowLongPtrW(hWnd, GWLP_HWNDPARENT));
  facts.bHasOwner = hOwner != nullptr;
  if (hOwner) {
    facts.bOwnerEnabled = IsWindowEnabled(hOwner) != FALSE;
    facts.bOwnerVisible = IsWindowVisible(hOwner) != FALSE;
  }
  char szClass[256] = {};
  GetClassNameA(hWnd, szClass, 255);
  facts.strClassName = szClass;
  if (!IsTargetWindow(facts)) return TRUE;
  DWORD dwPid = 0;
  GetWindowThreadProcessId(hWnd, &dwPid);
  pCandidates->Add(dwPid);
  return TRUE;
}

int ClassifyProcess(DWORD dwPid) {
  const CHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwPid));
  if (!process) return kProcessUnreadable;
  std::vector<HMODULE> modules(kMaxProcessModules);
  DWORD cbNeeded = 0;
  if (!EnumProcessModules(process.get(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                          &cbNeeded)) {
    return kProcessUnreadable;
  }
  const std::size_t nListed = cbNeeded / sizeof(HMODULE);
  return ClassifyModules(nListed, [&](std::size_t i, std::string* pName) {
    char szName[MAX_PATH];
    if (GetModuleBaseNameA(process.get(), modules[i], szName, MAX_PATH) == 0) return false;
    pName->assign(szName);
    return true;
  });
}

bool CTargetSystemWin32::IsGameHooked() {
  const DWORD dwHooked = sg_ProcStats.m_dwProcessId;
  return sg_Dll.IsHookCBT() && dwHooked != 0 && dwHooked != GetCurrentProcessId();
}

bool CTargetSystemWin32::FindShellProcess(ProcessId* pPid) {
  const HWND hShell = FindWindowA("Progman", "Program Manager");
  if (!hShell) return false;
  DWORD dwPid = 0;
  GetWindowThreadProcessId(hShell, &dwPid);
  *pPid = dwPid;
  return true;
}

void CTargetSystemWin32::ListCandidates(CCandidateList* pCandidates) {
  EnumWindows(EnumTargetWndProc, reinterpret_cast<LPARAM>(pCandidates));
}

void CTargetSystemWin32::RefreshHookSettings() { vantor::RefreshHookSettings(); }

int CTargetSystemWin32::ClassifyProcess(ProcessId pid) { return vantor::ClassifyProcess(pid); }

TargetWindow CTargetSystemWin32::FindProcessWindow(ProcessId pid) { return vantor::FindProcessWindow(pid); }

void CTargetSystemWin32::ProbeDXGI() { TestDX10(m_hMainWnd); }

void CTargetSystemWin32::ProbeD3D9() { TestDX9(m_hMainWnd); }

void CTargetSystemWin32::HandOver(TargetWindow hWnd) { sg_Dll.InitMasterWnd(static_cast<HWND>(hWnd)); }

}  // namespace vantor
