// The control record, the process report, the interlocked counter and the log.
#include "Ostrel/Ostrel.h"

#include <cstdio>
#include <cstring>

#include "Ostrel/OstrelModule.h"
#include "platform/win32/Owners.h"

CCOstrelDll sg_Dll;
COstrelProcStats sg_ProcStats;
COstrelConfigData sg_Config;

namespace {

// The program's UI thread (Init/Destroy) and its target-watch thread
// (InitMasterWnd, IsHookCBT) use sg_Dll at the same time.
SRWLOCK s_DllLock = SRWLOCK_INIT;

class CExclusive {
 public:
  explicit CExclusive(SRWLOCK* pLock) : m_pLock(pLock) { AcquireSRWLockExclusive(m_pLock); }
  ~CExclusive() { ReleaseSRWLockExclusive(m_pLock); }
  CExclusive(const CExclusive&) = delete;
  CExclusive& operator=(const CExclusive&) = delete;

 private:
  SRWLOCK* m_pLock;
};

// File name (no folder) of the program running as process dwPid; empty when the
// process cannot be asked, which is normal for protected processes.
void ProgramFileName(DWORD dwPid, char (&szName)[MAX_PATH]) {
  szName[0] = '\0';
  const vantor::CHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwPid));
  if (!process) return;
  char szPath[MAX_PATH];
  DWORD cchPath = MAX_PATH;
  if (QueryFullProcessImageNameA(process.get(), 0, szPath, &cchPath)) {
    const char* pszSlash = std::strrchr(szPath, '\\');
    lstrcpynA(szName, pszSlash ? pszSlash + 1 : szPath, MAX_PATH);
  }
}

}  // namespace

CCOstrelDll::CCOstrelDll()
    : m_hModule(),
      m_hMasterWnd(),
      m_hHookCBT(),
      m_nMasterPid(),
      m_nMasterTid(),
      m_nD3D9Present(),
      m_nD3D9Reset(),
      m_nD3D9SwapChainPresent(),
      m_nDXGIPresent(),
      m_nDXGIResizeBuffers(),
      m_szMasterExe(),
      m_dwOwnerPid(),
      m_bInitialised(),
      m_dwLastError(),
      m_nCommandFlags() {}

bool CCOstrelDll::InitDll() {
  CExclusive lock(&s_DllLock);
  m_hModule = OstrelModule();
  m_dwOwnerPid = GetCurrentProcessId();
  m_bInitialised = TRUE;
  m_dwLastError = ERROR_SUCCESS;
  if (sg_ProcStats.m_szWelcome[0] == '\0') {
    LoadStringA(m_hModule, IDS_OSTREL_WELCOME, sg_ProcStats.m_szWelcome,
                sizeof(sg_ProcStats.m_szWelcome));
  }
  return true;
}

void CCOstrelDll::DestroyDll() {
  CExclusive lock(&s_DllLock);
  if (m_hHookCBT) {
    UnhookWindowsHookEx(m_hHookCBT);
    m_hHookCBT = nullptr;
  }
  m_hMasterWnd = nullptr;
  m_nMasterPid = 0;
  m_nMasterTid = 0;
  m_szMasterExe[0] = '\0';
  m_bInitialised = FALSE;
  // Commands meant for the game that was just let go must not reach the next one.
  InterlockedExchange(&m_nCommandFlags, 0);
  sg_ProcStats.m_dwProcessId = 0;
  sg_ProcStats.m_szProcessName[0] = '\0';
}

bool CCOstrelDll::InitMasterWnd(HWND hWnd) {
  CExclusive lock(&s_DllLock);
  if (!hWnd || !IsWindow(hWnd)) {
    m_dwLastError = ERROR_INVALID_WINDOW_HANDLE;
    return false;
  }
  DWORD dwPid = 0;
  const DWORD dwTid = GetWindowThreadProcessId(hWnd, &dwPid);
  m_hMasterWnd = hWnd;
  m_nMasterPid = dwPid;
  m_nMasterTid = dwTid;
  ProgramFileName(dwPid, m_szMasterExe);
  // Nothing can be injected until the in-game recorder exists; answering true
  // here would make the target-watch thread believe a game is being recorded.
  m_dwLastError = ERROR_CALL_NOT_IMPLEMENTED;
  return false;
}

bool CCOstrelDll::IsHookCBT() const {
  AcquireSRWLockShared(&s_DllLock);
  const bool bHooked = m_hHookCBT != nullptr;
  ReleaseSRWLockShared(&s_DllLock);
  return bHooked;
}

COstrelProcStats::COstrelProcStats() : m_dwProcessId(), m_szProcessName(), m_szWelcome() {}

CThreadLockedLong::CThreadLockedLong(LONG nInitial) : m_nValue(nInitial) {}

LONG CThreadLockedLong::Inc() { return InterlockedIncrement(&m_nValue); }

LONG CThreadLockedLong::Dec() { return InterlockedDecrement(&m_nValue); }

LONG CThreadLockedLong::Exchange(LONG nValue) { return InterlockedExchange(&m_nValue, nValue); }

#if defined(_WIN64)
namespace {
CLogBase s_Log;
}  // namespace

CLogBase* g_pLog = &s_Log;

CLogBase::CLogBase() : m_nFailCount() {}

CLogBase::~CLogBase() = default;

void CLogBase::Assert_CheckFail(const char* pszExpression, const char* pszFile, int nLine) {
  InterlockedIncrement(&m_nFailCount);
  char szText[512];
  std::snprintf(szText, sizeof(szText), "assertion failed: %s (%s, line %d)\n",
                pszExpression ? pszExpression : "?", pszFile ? pszFile : "?", nLine);
  OutputDebugStringA(szText);
}
#endif
