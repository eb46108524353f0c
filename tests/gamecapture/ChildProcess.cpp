#include "ChildProcess.h"

namespace vantor::test {

std::wstring TestProgramFolder() {
  wchar_t szPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  std::wstring strPath(szPath);
  return strPath.substr(0, strPath.rfind(L'\\') + 1);
}

CChildProcess::~CChildProcess() { Terminate(); }

bool CChildProcess::Start(const std::wstring& strCommandLine) {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE hRead = nullptr;
  HANDLE hWrite = nullptr;
  if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return false;
  m_output.Attach(hRead);
  const CHandle write(hWrite);
  SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = hWrite;
  si.hStdError = hWrite;
  PROCESS_INFORMATION pi = {};
  std::wstring strCommand = strCommandLine;
  if (!CreateProcessW(nullptr, strCommand.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    return false;
  }
  m_process.Attach(pi.hProcess);
  CloseHandle(pi.hThread);
  m_dwPid = pi.dwProcessId;
  return true;
}

std::string CChildProcess::ReadLine() {
  for (;;) {
    const std::size_t nEnd = m_strPending.find('\n');
    if (nEnd != std::string::npos) {
      std::string strLine = m_strPending.substr(0, nEnd);
      m_strPending.erase(0, nEnd + 1);
      if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
      return strLine;
    }
    char buffer[256];
    DWORD dwRead = 0;
    if (!m_output || !ReadFile(m_output.get(), buffer, sizeof(buffer), &dwRead, nullptr) || dwRead == 0) {
      std::string strRest;
      strRest.swap(m_strPending);
      return strRest;
    }
    m_strPending.append(buffer, dwRead);
  }
}

bool CChildProcess::WaitReady() { return ReadLine().rfind("ready ", 0) == 0; }

void CChildProcess::Terminate() {
  if (m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(m_process.get(), 0);
    WaitForSingleObject(m_process.get(), 10000);
  }
}

}  // namespace vantor::test
