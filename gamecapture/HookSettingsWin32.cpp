#include "gamecapture/HookSettingsWin32.h"

#include <windows.h>
#include <commctrl.h>

#include <mutex>

#include "Ostrel/Ostrel.h"

namespace vantor {

namespace {

// The one settings reader of the program run. The interface thread refreshes at the
// start and the target-watch thread at every cycle; the lock keeps the two apart.
COstrelConfig s_OstrelConfig;
std::mutex s_OstrelConfigLock;

}  // namespace

void RefreshHookSettings() {
  std::lock_guard<std::mutex> lock(s_OstrelConfigLock);
  s_OstrelConfig.ReadIniFile();
  s_OstrelConfig.FixCaptureDir();
  sg_Config.CopyConfig(s_OstrelConfig);
  // The program carries its own welcome text under the library's id.
  LoadStringA(GetModuleHandleW(nullptr), IDS_OSTREL_WELCOME, sg_ProcStats.m_szWelcome,
              sizeof(sg_ProcStats.m_szWelcome) - 1);
  InitCommonControls();
}

}  // namespace vantor
