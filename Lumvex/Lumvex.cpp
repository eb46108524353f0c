// The cursor reporter: one thread polls the system cursor and sends changes.
//
// A poll rather than a low-level mouse hook: a shape change without movement
// (a program switching to its busy cursor) must be reported too, and a poll
// cannot slow down the system's mouse input the way a slow hook thread can.
#include "Lumvex/Lumvex.h"

#include <memory>
#include <new>

#include "platform/win32/Owners.h"

namespace {

constexpr DWORD kPollMs = 15;          // about a frame at 60 frames per second
constexpr UINT kSendTimeoutMs = 1000;  // a busy window misses a report, not the thread

struct CReportTarget {
  HWND hWnd;
  UINT uMsg;
  HANDLE hStop;    // owned by the installer; closed only after the thread ended
  HMODULE hSelf;   // reference that keeps this code mapped while the thread runs
};

// The installed reporter. Only handles cross the lock; the waiting is done outside it.
SRWLOCK s_Lock = SRWLOCK_INIT;
HANDLE s_hThread;
HANDLE s_hStop;
HWND s_hWnd;

bool StopRequested(HANDLE hStop) { return WaitForSingleObject(hStop, 0) != WAIT_TIMEOUT; }

DWORD WINAPI ReportThread(void* pParam) {
  CReportTarget* pTarget = static_cast<CReportTarget*>(pParam);
  bool bFirst = true;
  HCURSOR hLastCursor = nullptr;
  POINT ptLast = {};
  for (;;) {
    CURSORINFO ci = {};
    ci.cbSize = sizeof(ci);
    if (GetCursorInfo(&ci)) {
      const bool bMoved = ci.ptScreenPos.x != ptLast.x || ci.ptScreenPos.y != ptLast.y;
      if (bFirst || ci.hCursor != hLastCursor || bMoved) {
        // Checked right before each send: once the uninstaller has signalled, no
        // new report starts, and the one in flight finishes before it returns.
        if (StopRequested(pTarget->hStop)) break;
        DWORD_PTR dwResult = 0;
        SendMessageTimeoutW(pTarget->hWnd, pTarget->uMsg, reinterpret_cast<WPARAM>(ci.hCursor), 0,
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, &dwResult);
        hLastCursor = ci.hCursor;
        ptLast = ci.ptScreenPos;
        bFirst = false;
      }
    }
    if (WaitForSingleObject(pTarget->hStop, kPollMs) != WAIT_TIMEOUT) break;
  }
  HMODULE hSelf = pTarget->hSelf;
  delete pTarget;
  FreeLibraryAndExitThread(hSelf, 0);
}

// Ends a reporter thread and closes its handles. Waits while answering sent
// messages, since the thread may be inside a send to this very thread.
void StopReporter(HANDLE hThread, HANDLE hStop) {
  if (!hThread) return;
  SetEvent(hStop);
  for (;;) {
    const DWORD dwWait = MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (dwWait == WAIT_OBJECT_0 + 1) {
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    if (dwWait != WAIT_OBJECT_0) WaitForSingleObject(hThread, INFINITE);
    break;
  }
  CloseHandle(hThread);
  CloseHandle(hStop);
}

}  // namespace

bool InstallOstrel(HWND hWnd, UINT uMsg) {
  if (!hWnd || !IsWindow(hWnd) || uMsg == 0) return false;

  // Until the thread runs, the owners give everything back on a failure.
  std::unique_ptr<CReportTarget> pTarget(new (std::nothrow) CReportTarget{hWnd, uMsg, nullptr, nullptr});
  if (!pTarget) return false;
  vantor::CEvent stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HMODULE hSelf = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ReportThread), &hSelf);
  vantor::CModuleRef self(hSelf);
  if (!stop || !self) return false;
  pTarget->hStop = stop.get();
  pTarget->hSelf = self.get();
  HANDLE hThread = CreateThread(nullptr, 0, ReportThread, pTarget.get(), 0, nullptr);
  if (!hThread) return false;
  // From here on the thread owns the target and the module reference; the stop event
  // is the installed reporter's (StopReporter closes it).
  pTarget.release();
  self.Detach();
  HANDLE hStop = stop.Detach();

  AcquireSRWLockExclusive(&s_Lock);
  HANDLE hOldThread = s_hThread;
  HANDLE hOldStop = s_hStop;
  s_hThread = hThread;
  s_hStop = hStop;
  s_hWnd = hWnd;
  ReleaseSRWLockExclusive(&s_Lock);

  StopReporter(hOldThread, hOldStop);
  return true;
}

bool UninstallOstrel(HWND hWnd) {
  AcquireSRWLockExclusive(&s_Lock);
  HANDLE hThread = nullptr;
  HANDLE hStop = nullptr;
  if (s_hThread && (!hWnd || hWnd == s_hWnd)) {
    hThread = s_hThread;
    hStop = s_hStop;
    s_hThread = nullptr;
    s_hStop = nullptr;
    s_hWnd = nullptr;
  }
  ReleaseSRWLockExclusive(&s_Lock);

  StopReporter(hThread, hStop);
  return hThread != nullptr;
}
