// The 32-bit side's link to the 64-bit helper: the two pipes, the helper process and
// the lines written to it. The main dialog owns one and starts it on 64-bit Windows;
// target selection writes its "pid" lines through it (IHelperWriter) from its own
// thread.
//
// Two things a plain pipe pair would get wrong are handled here: the helper's output
// is read and thrown away by a small thread of the link's, so its "hookok" answers can
// never fill the pipe and stop it; and nothing is written once the helper has ended,
// so a writer can never block on a pipe that nobody reads.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "gamecapture/HelperWriter.h"
#include "platform/win32/Owners.h"

namespace vantor {

class CHelperLink : public IHelperWriter {
 public:
  CHelperLink() = default;
  // Stops reading the helper's output; the helper itself is ended by EndHelper.
  ~CHelperLink() override;
  CHelperLink(const CHelperLink&) = delete;
  CHelperLink& operator=(const CHelperLink&) = delete;

  // Creates the pipes, starts the helper and sends "begin". False when any step
  // fails (no "ComSpec" in the environment, a pipe, a duplicate or the start); the
  // process's standard handles are its own again on every path. At most once a run.
  bool StartHelper();
  // Starts VantorX64.exe from the program folder, hidden in a console of its own,
  // with the pipes as its standard handles.
  bool LaunchHelper();

  // One line (with its CR LF) in one write; nothing for an empty or absent text, and
  // nothing once the helper has ended. A failed write is ignored. Any thread.
  void WriteToHelper(const char* pszLine) override;

  // Closing the main window: asks the helper to stop its hook library and end.
  void AskHelperToQuit();
  // Destroying the main window: a helper still running gets "quit" once more and
  // dwGraceMs to end by itself, and is then terminated (exit code 0); returns once it
  // has ended. Nothing for a helper never started.
  void EndHelper(DWORD dwGraceMs);

  bool IsHelperRunning() const;
  // The helper's exit code; STILL_ACTIVE while it runs, 0xFFFFFFFF when none started.
  DWORD get_HelperExitCode() const;

  // Where the helper is looked for; the program folder (with its trailing
  // backslash) unless a test points elsewhere. Call before StartHelper.
  void SetHelperFolder(const std::wstring& strFolder) { m_strHelperFolder = strFolder; }

  // The pipe ends, all kept open for the whole run. The helper inherits the input's
  // read end as its standard input and the output's write end as its standard output
  // and error; the link writes lines to m_hHelperStdinWrite and drains
  // m_hHelperStdoutRead.
  CHandle m_hHelperStdinRead;
  CHandle m_hHelperStdinWrite;
  CHandle m_hHelperStdoutRead;
  CHandle m_hHelperStdoutWrite;
  // The running helper's process id, -1 when none was started.
  int m_nHelperPid = -1;

 private:
  bool CreateHelperPipes();
  void StartDraining();
  void StopDraining();
  static DWORD WINAPI DrainProc(void* pParam);

  std::wstring m_strHelperFolder;
  CHandle m_hHelperProcess;
  CHandle m_hHelperThread;
  CThreadHandle m_hDrainThread;
  std::atomic<bool> m_bStopDraining{false};
  bool m_bStarted = false;
};

}  // namespace vantor
