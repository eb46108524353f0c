// The About box: the program icon, name and version, the web site and the support
// address as links. Modal, with no logic beyond its links.
#pragma once
#include <windows.h>

#include "ui/DialogBase.h"
#include "widgets/HyperlinkLabel.h"

namespace vantor {

class CAboutDlg : public CDialogBase {
 public:
  CAboutDlg();

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(WORD wId, WORD wCode, HWND hControl) override;

 private:
  CHyperlinkLabel m_webLink;
  CHyperlinkLabel m_mailLink;
};

// Shows the About box over hParent and returns when it is closed.
void ShowAboutBox(HWND hParent);

}  // namespace vantor
