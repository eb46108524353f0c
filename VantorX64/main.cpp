// VantorX64: the 64-bit helper Vantor starts hidden on 64-bit Windows. Vantor sends it,
// over its standard input, the processes the 32-bit side cannot inspect; the helper
// probes DXGI in 64 bits and hands each new process's topmost window to OstrelX64.
// The exchange itself lives in HelperCommands; this file adds the system.
#include <windows.h>

#include <cstdio>

#include "Ostrel/Ostrel.h"
#include "VantorX64/HelperCommands.h"
#include "VantorX64/StdInputSourceWin32.h"
#include "gamecapture/FindProcessWindow.h"
#include "gamecapture/Test_DX10.h"

// The hook library's settings reader, one for the whole run: made before main and
// destroyed after it.
COstrelConfig g_OstrelConfig;

namespace vantor {

namespace {

class CHelperHost : public IHelperHost {
 public:
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
  }
  void StopHookLibrary() override { sg_Dll.DestroyDll(); }
  void Idle() override { Sleep(1); }
};

}  // namespace

}  // namespace vantor

// The helper takes no arguments; any it is given are ignored.
int main() {
  vantor::CStdInputSource source;
  source.Open(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
  vantor::CLineReader reader;
  reader.Open(&source);
  vantor::CHelperHost host;
  return vantor::RunHelper(reader, host);
}
