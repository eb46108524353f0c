// What the option pages share: each is a child dialog of the main dialog's tab control
// (so the main dialog is its grandparent), painted white by CDialogBase, and asks the
// main dialog to take over and save the settings with WM_USER_APPLY_MSG.
#pragma once
#include <windows.h>

#include "ui/DialogBase.h"

namespace vantor {

// Sent by the option pages to the main dialog to apply and save the settings
// (wParam and lParam 0).
constexpr UINT WM_USER_APPLY_MSG = WM_USER + 260;

class COptionPage : public CDialogBase {
 public:
  using CDialogBase::CDialogBase;

 protected:
  // The main dialog applies and saves the settings before this returns. Pages live in
  // the tab control: page -> tab control -> main dialog.
  void SendApply() const {
    if (!m_hWnd) return;
    if (HWND hTab = GetParent(m_hWnd)) {
      if (HWND hMain = GetParent(hTab)) SendMessageW(hMain, WM_USER_APPLY_MSG, 0, 0);
    }
  }
};

}  // namespace vantor
