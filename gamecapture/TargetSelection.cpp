#include "gamecapture/TargetSelection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "gamecapture/ProcessClass.h"
#include "gamecapture/TargetWatch.h"

namespace vantor {

namespace {

// Sleeps in short steps so that a cleared run flag ends the wait soon; the main
// window waits for this thread when it closes.
void SleepWhileRunning(unsigned nMs) {
  constexpr unsigned kStepMs = 50;
  while (nMs > 0 && g_bTargetThreadRun) {
    const unsigned nStep = std::min(nMs, kStepMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(nStep));
    nMs -= nStep;
  }
}

}  // namespace

CTargetSelection::CTargetSelection(ITargetSystem& system, IHelperWriter* pHelper, bool bWow64, bool bWin7OrLater)
    : m_System(system), m_pHelper(pHelper), m_bWow64(bWow64), m_bWin7OrLater(bWin7OrLater) {}

CycleOutcome CTargetSelection::RunCycle() {
  ++m_nCycles;
  if (m_System.IsGameHooked()) return CycleOutcome::GameHooked;
  m_Candidates.Clear();
  ProcessId shellPid = 0;
  if (!m_System.FindShellProcess(&shellPid)) {
    // Without the shell's window its processes cannot be told apart from games; a
    // restarting shell has it back within seconds, so this cycle only waits.
    ++m_nShellLessCycles;
    return CycleOutcome::NoShell;
  }
  m_System.ListCandidates(&m_Candidates);
  m_System.RefreshHookSettings();
  for (std::size_t i = 0; i < m_Candidates.size(); ++i) {
    // A closing program must not start probes it will not wait for.
    if (!g_bTargetThreadRun) break;
    HandleCandidate(i, m_Candidates[i], shellPid);
  }
  return CycleOutcome::Ran;
}

void CTargetSelection::HandleCandidate(std::size_t i, ProcessId pid, ProcessId shellPid) {
  // The shell's windows are listed but never looked into.
  const int nClass = pid == shellPid ? kProcessNoTarget : m_System.ClassifyProcess(pid);
  if (m_bWow64 && nClass == kProcessUnreadable) {
    if (m_pHelper && m_Sent.TakeIfChanged(i, pid)) SendToHelper(pid);
  } else if (IsDirect3DClass(nClass)) {
    const TargetWindow hWnd = m_System.FindProcessWindow(pid);
    if (m_bWin7OrLater) m_System.ProbeDXGI();
    m_System.ProbeD3D9();
    m_System.HandOver(hWnd);
  }
}

void CTargetSelection::SendToHelper(ProcessId pid) {
  char szLine[32];
  std::snprintf(szLine, sizeof(szLine), "pid %d\r\n", static_cast<int>(pid));
  m_pHelper->WriteToHelper(szLine);
}

void CTargetSelection::Run(const TargetWatchTiming& timing) {
  while (g_bTargetThreadRun) {
    if (IsTargetWatchPaused()) {
      ++m_nPausedPasses;
      SleepWhileRunning(timing.nPausedMs);
      continue;
    }
    switch (RunCycle()) {
      case CycleOutcome::GameHooked:
        SleepWhileRunning(timing.nHookedMs);
        break;
      case CycleOutcome::NoShell:
      case CycleOutcome::Ran:
        SleepWhileRunning(timing.nCycleMs);
        break;
    }
  }
}

}  // namespace vantor
