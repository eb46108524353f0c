// A program the test starts and reads from: its standard output comes through a pipe
// a line at a time. A child still running at the end is terminated.
#pragma once
#include <windows.h>

#include <string>

#include "platform/win32/Owners.h"

namespace vantor::test {

// The folder of the running test program, with its trailing backslash.
std::wstring TestProgramFolder();

class CChildProcess {
 public:
  CChildProcess() = default;
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;
  ~CChildProcess();

  bool Start(const std::wstring& strCommandLine);
  // The next line without its line end; empty once the output has ended.
  std::string ReadLine();
  // The child's "ready <pid>" line; false when it said something else or ended.
  bool WaitReady();
  void Terminate();

  DWORD get_Pid() const { return m_dwPid; }
  HANDLE get_Process() const { return m_process.get(); }

 private:
  CHandle m_process;
  CHandle m_output;
  DWORD m_dwPid = 0;
  std::string m_strPending;
};

}  // namespace vantor::test
