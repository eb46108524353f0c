#include "ui/OptVideoDlg.h"

#include <shellapi.h>
#include <shlobj.h>

#include <memory>

#include "base/Screen.h"
#include "gamecapture/TargetWatch.h"
#include "overlays/FlashingWnd.h"
#include "overlays/RegionGeometry.h"
#include "overlays/RegionWindow.h"
#include "platform/win32/Owners.h"
#include "recording/RecordingSettings.h"
#include "ui/Localization.h"
#include "ui/OptionPage.h"

namespace vantor {

namespace {

// The list offers these; any other text can be typed, and Record uses the number it
// starts with.
constexpr const wchar_t* kFrameRates[] = {L"5.0 fps",  L"10.0 fps", L"15.0 fps", L"20.0 fps", L"24.0 fps",
                                          L"25.0 fps", L"30.0 fps", L"50.0 fps", L"60.0 fps"};
// The folder chooser's instruction and caption.
constexpr wchar_t kBrowseCaption[] = L"保存到指定目录";
// The folder box's text as far as the shell takes a path.
constexpr int kPathChars = MAX_PATH;

struct CoTaskMemDeleter {
  void operator()(void* p) const { CoTaskMemFree(p); }
};
using CItemIdList = std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter>;

// The chooser opens on the folder in the box and carries the caption in its title too.
int CALLBACK BrowseCallback(HWND hChooser, UINT uMsg, LPARAM, LPARAM lpInitialFolder) {
  if (uMsg == BFFM_INITIALIZED) {
    SetWindowTextW(hChooser, kBrowseCaption);
    SendMessageW(hChooser, BFFM_SETSELECTIONW, TRUE, lpInitialFolder);
  }
  return 0;
}

// The whole text of a control of the page; empty before the page exists.
std::wstring ControlText(HWND hPage, int nId) {
  HWND hControl = hPage ? GetDlgItem(hPage, nId) : nullptr;
  if (!hControl) return {};
  std::wstring strText(static_cast<std::size_t>(GetWindowTextLengthW(hControl)) + 1, L'\0');
  strText.resize(
      static_cast<std::size_t>(GetWindowTextW(hControl, strText.data(), static_cast<int>(strText.size()))));
  return strText;
}

}  // namespace

std::wstring COptVideoDlg::get_FrameRateText() const { return ControlText(m_hWnd, IDC_FRAMERATE); }

void COptVideoDlg::SetFrameRateText(const std::wstring& strText) {
  if (m_hWnd) SetDlgItemTextW(m_hWnd, IDC_FRAMERATE, strText.c_str());
}

std::wstring COptVideoDlg::get_OutputFolderText() const { return ControlText(m_hWnd, IDC_OUTPUT_FOLDER); }

void COptVideoDlg::SetOutputFolderText(const std::wstring& strText) {
  if (m_hWnd) SetDlgItemTextW(m_hWnd, IDC_OUTPUT_FOLDER, strText.c_str());
}

BOOL COptVideoDlg::OnInitDialog() {
  // The radio buttons and the check box sit on the page's white (CDialogBase).
  m_lblFrameRate.AttachDlgItem(m_hWnd, IDC_FRAMERATE_LABEL);
  m_lblOutputFolder.AttachDlgItem(m_hWnd, IDC_OUTPUT_LABEL);
  for (const wchar_t* pszRate : kFrameRates) {
    SendDlgItemMessageW(m_hWnd, IDC_FRAMERATE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszRate));
  }

  SetCheck(IDC_DIRECTX, true);
  const std::wstring strFullScreen = LoadLangString(L"FullScreen");
  SetDlgItemTextW(m_hWnd, IDC_FULLSCREEN, strFullScreen.c_str());
  SetCheck(IDC_FULLSCREEN, true);

  const HINSTANCE hInstance = GetModuleHandleW(nullptr);
  constexpr int kButtonStates = 4;
  m_btnRegion.AttachDlgItem(m_hWnd, IDC_REGION);
  m_btnRegion.LoadStrip(hInstance, IDB_REGION, kButtonStates);
  m_btnBrowse.AttachDlgItem(m_hWnd, IDC_BROWSE);
  m_btnBrowse.LoadStrip(hInstance, IDB_BROWSE, kButtonStates);
  m_btnOpenFolder.AttachDlgItem(m_hWnd, IDC_OPEN_FOLDER);
  m_btnOpenFolder.LoadStrip(hInstance, IDB_OPEN_FOLDER, kButtonStates);
  m_btnRegion.SetLocked(true);

  LocalizeDialog(m_hWnd, IDD_OPT_VIDEO);
  return TRUE;
}

void COptVideoDlg::OnCommand(WORD wId, WORD wCode, HWND) {
  // A selection in the frame-rate box does nothing by itself: Record and the apply
  // read its text when they run.
  if (wCode != BN_CLICKED) return;
  switch (wId) {
    case IDC_DIRECTX:
      OnDirectX();
      break;
    case IDC_GDI:
      OnGdi();
      break;
    case IDC_FULLSCREEN:
      OnFullScreen();
      break;
    case IDC_REGION:
      OnRegion();
      break;
    case IDC_BROWSE:
      OnBrowse();
      break;
    case IDC_OPEN_FOLDER:
      OnOpenFolder();
      break;
    default:
      break;
  }
}

void COptVideoDlg::OnDirectX() {
  SetTargetWatchPaused(false);
  m_bDirectXMode = 1;
  m_bFullScreen = 1;
  SetCheck(IDC_FULLSCREEN, true);
  EnableWindow(GetDlgItem(m_hWnd, IDC_FULLSCREEN), TRUE);
  m_btnRegion.SetLocked(true);
}

void COptVideoDlg::OnGdi() {
  SetTargetWatchPaused(true);
  m_bDirectXMode = 0;
  EnableWindow(GetDlgItem(m_hWnd, IDC_FULLSCREEN), TRUE);
  if (m_bFullScreen) {
    ChooseWholeScreen();
  } else {
    m_btnRegion.SetLocked(false);
  }
}

void COptVideoDlg::OnFullScreen() {
  if (m_bDirectXMode) {
    // A game is recorded whole: the box cannot be cleared in DirectX mode.
    SetCheck(IDC_FULLSCREEN, true);
    return;
  }
  m_bFullScreen = m_bFullScreen ? 0 : 1;
  SetCheck(IDC_FULLSCREEN, m_bFullScreen != 0);
  if (m_bFullScreen) {
    ChooseWholeScreen();
  } else {
    // The area stays the whole screen until the user selects a region.
    m_btnRegion.SetLocked(false);
  }
}

void COptVideoDlg::ChooseWholeScreen() {
  // The screen is measured when the region window is made; without that window it has
  // not been yet.
  if (g_ScreenWidth <= 0 || g_ScreenHeight <= 0) ReadScreenSize();
  g_CaptureRect = WholeScreenRect(g_ScreenWidth, g_ScreenHeight);
  m_btnRegion.SetLocked(true);
}

void COptVideoDlg::OnRegion() {
  // Keys can still press a locked button; only an unlocked one selects.
  if (m_btnRegion.IsLocked() || !g_RegionWnd) return;
  ShowWindow(g_RegionWnd, SW_SHOWMAXIMIZED);
  UpdateWindow(g_RegionWnd);
}

void COptVideoDlg::OnBrowse() {
  wchar_t szFolder[kPathChars] = {};
  GetDlgItemTextW(m_hWnd, IDC_OUTPUT_FOLDER, szFolder, kPathChars);
  wchar_t szDisplayName[kPathChars] = {};

  {
    // The chooser of the new style is made of COM objects of this thread's apartment.
    const CComApartment apartment;
    BROWSEINFOW info = {};
    info.hwndOwner = m_hWnd;
    info.pszDisplayName = szDisplayName;
    info.lpszTitle = kBrowseCaption;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_VALIDATE | BIF_NEWDIALOGSTYLE | BIF_SHAREABLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(szFolder);
    const CItemIdList pidl(SHBrowseForFolderW(&info));
    wchar_t szChosen[kPathChars] = {};
    if (pidl && SHGetPathFromIDListW(pidl.get(), szChosen)) SetDlgItemTextW(m_hWnd, IDC_OUTPUT_FOLDER, szChosen);
  }
  // Chosen or not, the main dialog takes the folder (creating it when it has gone) and
  // saves the settings.
  SendApplyToMainDialog(m_hWnd);
}

void COptVideoDlg::OnOpenFolder() {
  wchar_t szFolder[kPathChars] = {};
  GetDlgItemTextW(m_hWnd, IDC_OUTPUT_FOLDER, szFolder, kPathChars);
  // A folder that does not exist is the shell's to report, if at all.
  ShellExecuteW(m_hWnd, L"open", szFolder, nullptr, nullptr, SW_SHOWNORMAL);
}

void COptVideoDlg::SetCheck(int nId, bool bChecked) {
  CheckDlgButton(m_hWnd, nId, bChecked ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace vantor
