#include "ui/OptKeyDlg.h"

#include <commctrl.h>

#include "ui/Localization.h"
#include "ui/OptionPage.h"
#include "ui/resource.h"

namespace vantor {

namespace {

constexpr int kLabelIds[3] = {IDC_RECORD_KEY_LABEL, IDC_PAUSE_KEY_LABEL, IDC_STOP_KEY_LABEL};

std::uint32_t HotKeyOf(HWND hPage, int nId) {
  return static_cast<std::uint32_t>(SendDlgItemMessageW(hPage, nId, HKM_GETHOTKEY, 0, 0)) & 0xFFFFu;
}

}  // namespace

COptKeyDlg::COptKeyDlg() : CDialogBase(IDD_OPT_HOTKEY) {}

BOOL COptKeyDlg::OnInitDialog() {
  for (int i = 0; i < 3; ++i) m_labels[i].AttachDlgItem(m_hWnd, kLabelIds[i]);
  LocalizeDialog(m_hWnd, IDD_OPT_HOTKEY);
  return TRUE;
}

void COptKeyDlg::ShowHotKeys(std::uint32_t wRecord, std::uint32_t wPause, std::uint32_t wStop) {
  // The stored word is the control's own: no conversion either way.
  SendDlgItemMessageW(m_hWnd, IDC_RECORD_KEY, HKM_SETHOTKEY, wRecord & 0xFFFFu, 0);
  SendDlgItemMessageW(m_hWnd, IDC_PAUSE_KEY, HKM_SETHOTKEY, wPause & 0xFFFFu, 0);
  SendDlgItemMessageW(m_hWnd, IDC_STOP_KEY, HKM_SETHOTKEY, wStop & 0xFFFFu, 0);
}

bool COptKeyDlg::ReadHotKeys(std::uint32_t* pRecord, std::uint32_t* pPause, std::uint32_t* pStop) const {
  if (!m_hWnd) return false;
  *pRecord = HotKeyOf(m_hWnd, IDC_RECORD_KEY);
  *pPause = HotKeyOf(m_hWnd, IDC_PAUSE_KEY);
  *pStop = HotKeyOf(m_hWnd, IDC_STOP_KEY);
  return true;
}

void COptKeyDlg::OnCommand(WORD /*wId*/, WORD /*wCode*/, HWND hControl) {
  // A hotkey control reports each change of its combination: register and save it
  // before anything else happens. Menu and accelerator commands (no control) are not
  // the page's controls.
  if (hControl) SendApplyToMainDialog(m_hWnd);
}

}  // namespace vantor
