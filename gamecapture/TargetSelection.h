// Capture target selection: one cycle of the target watch and the loop that repeats
// it. Portable: the system (windows, processes, probes, the hook library) is reached
// through ITargetSystem; TargetSystemWin32 is the real one.
//
// A cycle lists the processes behind the accepted top-level windows, classifies each
// by the Direct3D it loads, and for a Direct3D process runs the probes and hands its
// topmost window to the hook library. On 64-bit Windows a process the 32-bit program
// cannot inspect goes to the 64-bit helper as a "pid" line instead, once per candidate
// position until another process has been sent for that position.
#pragma once
#include <atomic>
#include <cstdint>

#include "gamecapture/HelperWriter.h"
#include "gamecapture/TargetLists.h"

namespace vantor {

// A window handle as portable code carries it.
using TargetWindow = void*;

class ITargetSystem {
 public:
  virtual ~ITargetSystem() = default;
  // The hook library has a game of another process hooked.
  virtual bool IsGameHooked() = 0;
  // The process of the shell's "Program Manager" window; false when there is none.
  virtual bool FindShellProcess(ProcessId* pPid) = 0;
  // Appends the process of every accepted top-level window, in the system's order.
  virtual void ListCandidates(CCandidateList* pCandidates) = 0;
  // Reads the hook library's settings again and hands them to it.
  virtual void RefreshHookSettings() = 0;
  // One of the process classes of ProcessClass.h.
  virtual int ClassifyProcess(ProcessId pid) = 0;
  // The process's first window from the top of the Z order; null for none.
  virtual TargetWindow FindProcessWindow(ProcessId pid) = 0;
  // The Direct3D method-table probes, with the main window.
  virtual void ProbeDXGI() = 0;
  virtual void ProbeD3D9() = 0;
  // Tells the hook library to hook the game owning the window.
  virtual void HandOver(TargetWindow hWnd) = 0;
};

enum class CycleOutcome {
  Ran,         // the windows were looked at
  GameHooked,  // a game is hooked: nothing was looked at
  NoShell,     // no "Program Manager" (a shell restarting, or none): nothing was looked at
};

// How long the loop sleeps. The values the program uses; tests shorten them.
struct TargetWatchTiming {
  unsigned nCycleMs = 1000;   // after a cycle
  unsigned nHookedMs = 500;   // while a game is hooked
  unsigned nPausedMs = 100;   // per pass while paused
};

class CTargetSelection {
 public:
  // pHelper may be null (no helper link): then nothing is sent. bWow64: the program is
  // 32-bit on 64-bit Windows; bWin7OrLater: the DXGI probe can run.
  CTargetSelection(ITargetSystem& system, IHelperWriter* pHelper, bool bWow64, bool bWin7OrLater);

  CycleOutcome RunCycle();
  // Cycles while g_bTargetThreadRun is set, none while the watch is paused; returns
  // when the flag is cleared. A cycle without the shell's window looks at nothing and
  // the next one looks again: the shell comes back after a restart, and the watch must
  // still be there for it.
  void Run(const TargetWatchTiming& timing = TargetWatchTiming());

  // Cycles run so far (hooked-game and shell-less passes included), the shell-less
  // ones among them, and passes spent paused.
  std::uint64_t get_Cycles() const { return m_nCycles; }
  std::uint64_t get_ShellLessCycles() const { return m_nShellLessCycles; }
  std::uint64_t get_PausedPasses() const { return m_nPausedPasses; }
  const CCandidateList& get_Candidates() const { return m_Candidates; }
  const CSentSlots& get_SentSlots() const { return m_Sent; }

 private:
  void HandleCandidate(std::size_t i, ProcessId pid, ProcessId shellPid);
  void SendToHelper(ProcessId pid);

  ITargetSystem& m_System;
  IHelperWriter* m_pHelper;
  bool m_bWow64;
  bool m_bWin7OrLater;
  CCandidateList m_Candidates;
  CSentSlots m_Sent;  // cleared once, here, and kept for the whole run
  std::atomic<std::uint64_t> m_nCycles{0};
  std::atomic<std::uint64_t> m_nShellLessCycles{0};
  std::atomic<std::uint64_t> m_nPausedPasses{0};
};

}  // namespace vantor
