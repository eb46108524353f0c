#include "app/PallumoApp.h"

#include <commctrl.h>

#include <memory>

#include "app/Globals.h"
#include "app/ProgramFolder.h"
#include "app/Startup.h"
#include "app/SystemVersion.h"
#include "ui/PallumoDlg.h"

namespace vantor {

BOOL CPallumoApp::InitInstance() {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_HOTKEY_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);

  g_strLanguageFile = ChooseLanguageFile(GetProgramFolder());
  DetectSystem();

  auto pDlg = std::make_unique<CPallumoDlg>();
  pDlg->DoModal(m_hInstance);
  pDlg.reset();
  return FALSE;
}

}  // namespace vantor

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
  vantor::CPallumoApp app(hInstance);
  return app.InitInstance() ? 0 : 0;
}
