#include "gamecapture/HelperLink.h"

#include <cstring>

#include "app/ProgramFolder.h"

namespace vantor {

namespace {

// Puts a standard handle back as it was when the scope began, on every path: a
// failed start must not leave the program's own standard handles on a pipe.
class CStdHandleRestore {
 public:
  explicit CStdHandleRestore(DWORD dwWhich) : m_dwWhich(dwWhich), m_hSaved(GetStdHandle(dwWhich)) {}
  CStdHandleRestore(const CStdHandleRestore&) = delete;
  CStdHandleRestore& operator=(const CStdHandleRestore&) = delete;
  ~CStdHandleRestore() { SetStdHandle(m_dwWhich, m_hSaved); }

 private:
  DWORD m_dwWhich;
  HANDLE m_hSaved;
};

// One pipe whose ends are inheritable; *phKeep is the end the helper gets, *phOwn the
// other end, duplicated not inheritable (the pipe's own copy of it is closed).
bool CreateInheritedPipe(bool bHelperReads, CHandle* phHelperEnd, CHandle* phOwnEnd) {
  SECURITY_ATTRIBUTES sa = {};
  sa.nLength = sizeof(sa);
  sa.lpSecurityDescriptor = nullptr;
  sa.bInheritHandle = TRUE;
  HANDLE hRead = nullptr, hWrite = nullptr;
  if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return false;
  CHandle read(hRead), write(hWrite);
  CHandle& helperEnd = bHelperReads ? read : write;
  CHandle& ownEnd = bHelperReads ? write : read;
  HANDLE hOwn = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), ownEnd.get(), GetCurrentProcess(), &hOwn, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return false;
  }
  phOwnEnd->Attach(hOwn);
  *phHelperEnd = std::move(helperEnd);
  return true;
}

}  // namespace

CHelperLink::~CHelperLink() { StopDraining(); }

bool CHelperLink::StartHelper() {
  if (m_bStarted) return false;
  m_bStarted = true;
  {
    const CStdHandleRestore restoreOutput(STD_OUTPUT_HANDLE);
    const CStdHandleRestore restoreInput(STD_INPUT_HANDLE);
    if (!CreateHelperPipes()) return false;
    if (!LaunchHelper()) return false;
  }  // input restored first, then output
  StartDraining();
  WriteToHelper("begin\r\n");
  return true;
}

bool CHelperLink::CreateHelperPipes() {
  if (!CreateInheritedPipe(false, &m_hHelperStdoutWrite, &m_hHelperStdoutRead)) return false;
  SetStdHandle(STD_OUTPUT_HANDLE, m_hHelperStdoutWrite.get());
  if (!CreateInheritedPipe(true, &m_hHelperStdinRead, &m_hHelperStdinWrite)) return false;
  SetStdHandle(STD_INPUT_HANDLE, m_hHelperStdinRead.get());
  return true;
}

bool CHelperLink::LaunchHelper() {
  // The helper is started only where a command interpreter is configured; the value
  // itself is not used.
  wchar_t szComSpec[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"ComSpec", szComSpec, MAX_PATH) == 0) return false;

  const std::wstring strFolder = m_strHelperFolder.empty() ? GetProgramFolder() : m_strHelperFolder;
  const std::wstring strPath = strFolder + L"VantorX64.exe";
  // The path alone, quoted, and named as the program too: an unquoted path with a
  // space ("C:\Program Files\...") would let the system try "C:\Program.exe" first.
  std::wstring strCommand = L"\"" + strPath + L"\"";

  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = m_hHelperStdinRead.get();
  si.hStdOutput = m_hHelperStdoutWrite.get();
  si.hStdError = m_hHelperStdoutWrite.get();
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(strPath.c_str(), strCommand.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                      nullptr, &si, &pi)) {
    return false;
  }
  m_hHelperProcess.Attach(pi.hProcess);
  m_hHelperThread.Attach(pi.hThread);
  m_nHelperPid = static_cast<int>(pi.dwProcessId);
  // The helper has its copies; programs started later must not inherit these.
  SetHandleInformation(m_hHelperStdinRead.get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(m_hHelperStdoutWrite.get(), HANDLE_FLAG_INHERIT, 0);
  return true;
}

bool CHelperLink::IsHelperRunning() const {
  return m_hHelperProcess && WaitForSingleObject(m_hHelperProcess.get(), 0) == WAIT_TIMEOUT;
}

DWORD CHelperLink::get_HelperExitCode() const {
  DWORD dwExitCode = 0xFFFFFFFF;
  if (m_hHelperProcess) GetExitCodeProcess(m_hHelperProcess.get(), &dwExitCode);
  return dwExitCode;
}

void CHelperLink::WriteToHelper(const char* pszLine) {
  if (!pszLine || !*pszLine || !m_hHelperStdinWrite) return;
  // The link holds the pipe's read end for the whole run, so a write would never
  // fail once the helper is gone: it would fill the pipe and then wait for ever.
  if (!IsHelperRunning()) return;
  DWORD dwWritten = 0;
  WriteFile(m_hHelperStdinWrite.get(), pszLine, static_cast<DWORD>(std::strlen(pszLine)), &dwWritten, nullptr);
}

void CHelperLink::AskHelperToQuit() { WriteToHelper("quit\r\n"); }

void CHelperLink::EndHelper(DWORD dwGraceMs) {
  if (m_hHelperProcess) {
    // "quit" first, while the helper can still read it and stop its hook library;
    // only a helper that has not ended after a while is terminated. The link's own
    // process handle is used, never the id: an ended helper's id may already name
    // another process.
    WriteToHelper("quit\r\n");
    if (WaitForSingleObject(m_hHelperProcess.get(), dwGraceMs) != WAIT_OBJECT_0) {
      TerminateProcess(m_hHelperProcess.get(), 0);
      WaitForSingleObject(m_hHelperProcess.get(), INFINITE);
    }
  }
  StopDraining();
}

void CHelperLink::StartDraining() {
  m_bStopDraining = false;
  m_hDrainThread.Attach(CreateThread(nullptr, 64 * 1024, DrainProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
}

// The read end never breaks while the link holds the write end as well, so the
// thread is woken by a byte of the link's own once it has been told to stop.
void CHelperLink::StopDraining() {
  if (!m_hDrainThread) return;
  m_bStopDraining = true;
  DWORD dwWritten = 0;
  WriteFile(m_hHelperStdoutWrite.get(), "\n", 1, &dwWritten, nullptr);
  WaitForSingleObject(m_hDrainThread.get(), INFINITE);
  m_hDrainThread.Reset();
}

DWORD WINAPI CHelperLink::DrainProc(void* pParam) {
  auto* pLink = static_cast<CHelperLink*>(pParam);
  char buffer[512];
  DWORD dwRead = 0;
  while (!pLink->m_bStopDraining &&
         ReadFile(pLink->m_hHelperStdoutRead.get(), buffer, sizeof(buffer), &dwRead, nullptr)) {
  }
  return 0;
}

}  // namespace vantor
