#include "gamecapture/TargetWatchWin32.h"

#include <memory>

#include "gamecapture/TargetSelection.h"
#include "gamecapture/TargetSystemWin32.h"
#include "gamecapture/TargetWatch.h"

namespace vantor {

DWORD WINAPI TargetThreadProc(LPVOID pParam) {
  const std::unique_ptr<TargetWatchStart> start(static_cast<TargetWatchStart*>(pParam));
  CTargetSystemWin32 system(start->hMainWnd);
  CTargetSelection selection(system, start->pHelper, start->bWow64, start->bWin7OrLater);
  selection.Run();
  return 0;
}

CThreadHandle StartTargetWatch(const TargetWatchStart& start) {
  auto pStart = std::make_unique<TargetWatchStart>(start);
  CThreadHandle thread(CreateThread(nullptr, 0, TargetThreadProc, pStart.get(), 0, nullptr));
  if (thread) pStart.release();  // the thread owns it now
  return thread;
}

bool StopTargetWatch(const CThreadHandle& thread, DWORD dwWaitMs) {
  g_bTargetThreadRun = false;
  return !thread || WaitForSingleObject(thread.get(), dwWaitMs) == WAIT_OBJECT_0;
}

}  // namespace vantor
