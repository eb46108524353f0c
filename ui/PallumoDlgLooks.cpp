// The main dialog's looks: the command buttons with their icons, the close and hide
// buttons with their pictures, the see-through title, and the tab control that hosts
// the option pages where the template keeps a placeholder.
#include "ui/Localization.h"
#include "ui/PallumoDlg.h"

namespace vantor {
namespace {

constexpr int kButtonIconSize = 24;
constexpr COLORREF kCaptionColour = RGB(44, 62, 80);
constexpr COLORREF kCaptionHoverColour = RGB(100, 200, 50);

void SetUpCommandButton(CImageButton& button, HWND hDlg, int nId, UINT nIcon, UINT nHoverIcon) {
  button.AttachDlgItem(hDlg, nId);
  button.LoadIcons(GetModuleHandleW(nullptr), nIcon, nHoverIcon, kButtonIconSize);
  button.SetLayout(CImageButton::Layout::IconAbove);
  button.SetTextColours(kCaptionColour, kCaptionHoverColour);
  button.SetTransparent(true);
}

}  // namespace

void CPallumoDlg::SetUpButtons() {
  const HINSTANCE hInstance = GetModuleHandleW(nullptr);
  m_btnClose.AttachDlgItem(m_hWnd, IDC_CLOSE_BUTTON);
  m_btnClose.LoadStrip(hInstance, IDB_CLOSE);
  m_btnHide.AttachDlgItem(m_hWnd, IDC_HIDE_BUTTON);
  m_btnHide.LoadStrip(hInstance, IDB_HIDE);
  SetUpCommandButton(m_btnRecord, m_hWnd, IDC_RECORD, IDI_RECORD, IDI_RECORD_HOVER);
  SetUpCommandButton(m_btnPause, m_hWnd, IDC_PAUSE, IDI_PAUSE, IDI_PAUSE_HOVER);
  SetUpCommandButton(m_btnStop, m_hWnd, IDC_STOP, IDI_STOP, IDI_STOP_HOVER);
  // Help has the one icon.
  SetUpCommandButton(m_btnHelp, m_hWnd, IDC_HELP_BUTTON, IDI_HELP, 0);
  m_title.AttachDlgItem(m_hWnd, IDC_TITLE);
}

void CPallumoDlg::CreateOptionPages() {
  if (!m_tab.Create(m_hWnd, IDC_TAB)) return;
  const HINSTANCE hInstance = GetModuleHandleW(nullptr);
  // Pages are children of the tab control, so a page's grandparent is this dialog;
  // each carries its template number as its control id.
  CDialogBase* const pages[] = {&m_videoPage, &m_audioPage, &m_systemPage, &m_hotkeyPage};
  for (CDialogBase* pPage : pages) {
    if (HWND hPage = pPage->Create(hInstance, m_tab.get_Hwnd())) {
      SetWindowLongPtrW(hPage, GWLP_ID, static_cast<LONG_PTR>(pPage->get_TemplateId()));
    }
  }
  m_tab.AddPage(m_videoPage.get_Hwnd(), LoadLangString(L"Video"));
  m_tab.AddPage(m_audioPage.get_Hwnd(), LoadLangString(L"Audio"));
  m_tab.AddPage(m_hotkeyPage.get_Hwnd(), LoadLangString(L"HotKey"));
  m_tab.AddPage(m_systemPage.get_Hwnd(), LoadLangString(L"System"));
  m_tab.SetDisplayOptions();

  HWND hPlaceholder = GetDlgItem(m_hWnd, IDC_TAB_PLACEHOLDER);
  if (!hPlaceholder) return;
  ShowWindow(hPlaceholder, SW_HIDE);
  RECT rc = {};
  GetWindowRect(hPlaceholder, &rc);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
  m_tab.MoveTo(rc);
}

}  // namespace vantor
