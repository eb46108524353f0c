#include "ui/OptionPage.h"

#include "ui/PallumoDlg.h"

namespace vantor {

void SendApplyToMainDialog(HWND hPage) {
  if (HWND hMain = MainDialogOf(hPage)) SendMessageW(hMain, WM_USER_APPLY_MSG, 0, 0);
}

}  // namespace vantor
