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
  if (!thread) return true;
  // A probe gives the main window to Direct3D, which may send it messages from the
  // watch's thread: answer those while waiting, or both threads would wait for ever.
  const ULONGLONG ullEnd = GetTickCount64() + dwWaitMs;
  for (;;) {
    const ULONGLONG ullNow = GetTickCount64();
    const DWORD dwLeft = ullNow < ullEnd ? static_cast<DWORD>(ullEnd - ullNow) : 0;
    const HANDLE hThread = thread.get();
    const DWORD dwWait = MsgWaitForMultipleObjects(1, &hThread, FALSE, dwLeft, QS_SENDMESSAGE);
    if (dwWait == WAIT_OBJECT_0) return true;
    if (dwWait != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers sent messages
  }
}

}  // namespace vantor
