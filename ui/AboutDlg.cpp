#include "ui/AboutDlg.h"

#include <string>

#include "ui/resource.h"

namespace vantor {

CAboutDlg::CAboutDlg() : CDialogBase(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
  // The addresses are the build's (VANTOR_ABOUT_WEB, VANTOR_SUPPORT_MAIL); each link
  // shows its address as it will be opened, the mail one without its scheme.
  const std::wstring strWeb = L"" VANTOR_ABOUT_WEB;
  const std::wstring strMail = L"" VANTOR_SUPPORT_MAIL;
  m_webLink.AttachDlgItem(m_hWnd, IDC_WEB_LINK);
  m_webLink.SetTarget(strWeb);
  SetDlgItemTextW(m_hWnd, IDC_WEB_LINK, strWeb.c_str());
  m_mailLink.AttachDlgItem(m_hWnd, IDC_MAIL_LINK);
  m_mailLink.SetTarget(L"mailto:" + strMail);
  SetDlgItemTextW(m_hWnd, IDC_MAIL_LINK, strMail.c_str());
  return TRUE;
}

void CAboutDlg::OnCommand(WORD wId, WORD wCode, HWND hControl) {
  if (wId == IDOK || wId == IDCANCEL) EndDialog(m_hWnd, wId);
}

void ShowAboutBox(HWND hParent) {
  CAboutDlg dlg;
  dlg.DoModal(GetModuleHandleW(nullptr), hParent);
}

}  // namespace vantor
