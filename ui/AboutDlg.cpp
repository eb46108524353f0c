#include "ui/AboutDlg.h"

#include "ui/DialogBase.h"

namespace vantor {

void ShowAboutBox(HWND hParent) {
  CDialogBase about(100);
  about.DoModal(GetModuleHandleW(nullptr), hParent);
}

}  // namespace vantor
