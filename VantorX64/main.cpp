// VantorX64: the 64-bit helper Vantor starts hidden on 64-bit Windows. Vantor sends it,
// over its standard input, the processes the 32-bit side cannot inspect; the helper
// probes DXGI in 64 bits and hands each new process's topmost window to OstrelX64.
// The exchange itself lives in HelperCommands; this file adds the system.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Ostrel/Ostrel.h"
#include "VantorX64/HelperCommands.h"
#include "VantorX64/HelperTrace.h"
#include "VantorX64/StdInputSourceWin32.h"
#include "gamecapture/FindProcessWindow.h"
#include "gamecapture/Test_DX10.h"
#include "platform/File.h"
#include "platform/Text.h"

// The hook library's settings reader, one for the whole run: made before main and
// destroyed after it.
COstrelConfig g_OstrelConfig;

namespace vantor {

namespace {

// The trace file's name from the environment; empty when the trace is off.
std::string TracePath() {
  const std::wstring strName = WideFromUtf8(kHelperTraceVariable);
  const DWORD cch = GetEnvironmentVariableW(strName.c_str(), nullptr, 0);
  if (cch <= 1) return {};
  std::wstring strPath(cch, L'\0');
  const DWORD cchCopied = GetEnvironmentVariableW(strName.c_str(), strPath.data(), cch);
  if (cchCopied == 0 || cchCopied >= cch) return {};
  strPath.resize(cchCopied);
  return Utf8FromWide(strPath);
}

class CHelperHost : public IHelperHost {
 public:
  explicit CHelperHost(CHelperTrace& trace) : m_Trace(trace) {}

  void HookProcess(std::uint32_t nProcessId) override {
    const HWND hWnd = FindProcessWindow(nProcessId);
    // The settings may have changed since the last game: read them afresh.
    g_OstrelConfig.ReadIniFile();
    g_OstrelConfig.FixCaptureDir();
    sg_Config.CopyConfig(g_OstrelConfig);
    TestDX10(nullptr);
    sg_Dll.InitMasterWnd(hWnd);
    // Vantor drains this output; a helper run by hand shows it.
    std::fputs("hookok\n", stdout);
    std::fflush(stdout);
    m_Trace.Sent("hookok");
  }
  void StopHookLibrary() override { sg_Dll.DestroyDll(); }
  void Idle() override { Sleep(1); }
  void LineReceived(const char* pszLine) override { m_Trace.Received(pszLine); }

 private:
  CHelperTrace& m_Trace;
};

}  // namespace

}  // namespace vantor

// The helper takes no arguments; any it is given are ignored.
int main() {
  vantor::CStdInputSource source;
  source.Open(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
  vantor::CLineReader reader;
  reader.Open(&source);
  vantor::CHelperTrace trace;
  trace.Open(vantor::GetNativeFileSystem(), vantor::TracePath());
  vantor::CHelperHost host(trace);
  return vantor::RunHelper(reader, host);
}
