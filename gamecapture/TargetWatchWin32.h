// The target-watch thread: started once by the main dialog, it runs the capture target
// selection (TargetSelection.h) on the real system until the dialog closes. Windows-only.
#pragma once
#include <windows.h>

#include "gamecapture/HelperWriter.h"
#include "platform/win32/Owners.h"

namespace vantor {

// What the thread is started with; TargetThreadProc takes it over and frees it.
struct TargetWatchStart {
  HWND hMainWnd = nullptr;            // given to the probes
  IHelperWriter* pHelper = nullptr;   // "pid" lines; null: none are sent
  bool bWow64 = false;                // the 32-bit program on 64-bit Windows
  bool bWin7OrLater = false;          // the DXGI probe can run
};

// The thread body. pParam: a TargetWatchStart made with new.
DWORD WINAPI TargetThreadProc(LPVOID pParam);

// Starts the thread; an empty handle when it could not be started.
CThreadHandle StartTargetWatch(const TargetWatchStart& start);

// Tells the thread to end (clears g_bTargetThreadRun) and waits for it at most
// dwWaitMs, answering messages sent to the caller's windows meanwhile; true when it
// has ended (or was never started).
bool StopTargetWatch(const CThreadHandle& thread, DWORD dwWaitMs);

}  // namespace vantor
