#include "ui/OptRecDlg.h"

#include "app/Globals.h"
#include "sound/DirectSoundCapture.h"
#include "ui/Localization.h"
#include "ui/OptionPage.h"
#include "ui/resource.h"

namespace vantor {

namespace {

// Not a language text: the row stands for whatever the system calls its default.
constexpr wchar_t kDefaultDeviceRow[] = L"Default input device";

}  // namespace

COptRecDlg::COptRecDlg() : CDialogBase(IDD_OPT_AUDIO) {}

BOOL COptRecDlg::OnInitDialog() {
  m_label.AttachDlgItem(m_hWnd, IDC_DEVICE_LABEL);

  HWND hList = GetDlgItem(m_hWnd, IDC_DEVICE_LIST);
  SendMessageW(hList, CB_RESETCONTENT, 0, 0);
  // The default row is tied to no table entry: its tie value 0 means the all-zero
  // identifier wherever the sorting puts it.
  const LRESULT nDefaultRow = SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kDefaultDeviceRow));
  if (nDefaultRow >= 0) SendMessageW(hList, CB_SETITEMDATA, static_cast<WPARAM>(nDefaultRow), 0);
  CWindowDeviceList deviceList(hList);
  g_DirectSoundCapture.EnumerateDevices(&deviceList);
  if (g_bCaptureDevicePresent) g_DirectSoundCapture.CreateDevice(GUID{});

  if (!g_bWin7OrLater) {
    g_bUseLoopback = 0;
    m_bLoopback = 0;
    ShowLoopback();
    EnableWindow(GetDlgItem(m_hWnd, IDC_LOOPBACK), FALSE);
  }
  LocalizeDialog(m_hWnd, IDD_OPT_AUDIO);
  return TRUE;
}

void COptRecDlg::ShowSettings(std::int32_t& bRecWin7) {
  HWND hList = GetDlgItem(m_hWnd, IDC_DEVICE_LIST);
  const LRESULT nRows = SendMessageW(hList, CB_GETCOUNT, 0, 0);
  for (LRESULT nRow = 0; nRow < nRows; ++nRow) {
    if (SendMessageW(hList, CB_GETITEMDATA, static_cast<WPARAM>(nRow), 0) == 0) {
      SendMessageW(hList, CB_SETCURSEL, static_cast<WPARAM>(nRow), 0);
      break;
    }
  }
  if (g_bWin7OrLater) {
    m_bLoopback = bRecWin7;
  } else {
    m_bLoopback = 0;
    bRecWin7 = 0;
  }
  g_bUseLoopback = m_bLoopback;
  // Only the default row means no device was listed.
  g_bCaptureDevicePresent = nRows > 1 ? 1 : 0;
  EnableDeviceList();
  ShowLoopback();
}

void COptRecDlg::OnCommand(WORD wId, WORD wCode, HWND /*hControl*/) {
  if (wId == IDC_DEVICE_LIST && wCode == CBN_SELCHANGE) {
    OpenSelectedDevice();
  } else if (wId == IDC_LOOPBACK && wCode == BN_CLICKED) {
    OnLoopbackClicked();
  }
}

void COptRecDlg::OpenSelectedDevice() {
  if (!g_bCaptureDevicePresent) return;
  HWND hList = GetDlgItem(m_hWnd, IDC_DEVICE_LIST);
  const LRESULT nRow = SendMessageW(hList, CB_GETCURSEL, 0, 0);
  if (nRow == CB_ERR) return;
  const LRESULT nTie = SendMessageW(hList, CB_GETITEMDATA, static_cast<WPARAM>(nRow), 0);
  if (nTie == CB_ERR) return;
  g_DirectSoundCapture.CreateDevice(GetTiedCaptureDevice(static_cast<std::intptr_t>(nTie)));
}

void COptRecDlg::OnLoopbackClicked() {
  OpenSelectedDevice();
  // The check box has already changed its state by itself; the flag follows the box,
  // so that the two can never disagree.
  m_bLoopback = SendDlgItemMessageW(m_hWnd, IDC_LOOPBACK, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  g_bUseLoopback = m_bLoopback;
  EnableDeviceList();
  SendApplyToMainDialog(m_hWnd);
}

void COptRecDlg::ShowLoopback() {
  SendDlgItemMessageW(m_hWnd, IDC_LOOPBACK, BM_SETCHECK, m_bLoopback ? BST_CHECKED : BST_UNCHECKED, 0);
}

void COptRecDlg::EnableDeviceList() {
  EnableWindow(GetDlgItem(m_hWnd, IDC_DEVICE_LIST), !m_bLoopback && g_bCaptureDevicePresent);
}

}  // namespace vantor
