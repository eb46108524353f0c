#include "ui/PallumoDlg.h"

#include <commctrl.h>

#include "Lumvex/Lumvex.h"
#include "Ostrel/Ostrel.h"
#include "app/FolderTree.h"
#include "app/Globals.h"
#include "app/ProgramFolder.h"
#include "gamecapture/HookSettingsWin32.h"
#include "gamecapture/TargetWatch.h"
#include "gamecapture/TargetWatchWin32.h"
#include "overlays/FlashingWnd.h"
#include "overlays/RegionWindow.h"
#include "platform/win32/Owners.h"
#include "recording/GdiRecordingWin32.h"
#include "recording/RecordingSettings.h"
#include "recording/ScreenGrabber.h"
#include "ui/Localization.h"
#include "ui/UpdateCheck.h"
#include "ui/resource.h"

namespace vantor {

namespace {

// How long a helper asked to quit may take to end by itself.
constexpr DWORD kHelperQuitGraceMs = 3000;
// How long closing waits for the target watch to finish a probe it is in.
constexpr DWORD kTargetWatchStopMs = 5000;

}  // namespace

CPallumoDlg::CPallumoDlg() : CDialogBase(IDD_VANTOR_DIALOG) {
  m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
  m_uSaveCursorMsg = RegisterWindowMessageW(L"WM_USER_SAVECURSOR_MSG");
}

CPallumoDlg::~CPallumoDlg() = default;

std::wstring CPallumoDlg::TitleForLanguage(const std::wstring& strLanguage) {
  return strLanguage == L"SimpChinese" ? L"Vantor-免费屏幕录像软件 1.0 Beta1" : L"Vantor 1.0 Beta1";
}

std::wstring CPallumoDlg::ConfigPath() const { return GetProgramFolder() + L"Config.ini"; }

void CPallumoDlg::StartHookLibrary() {
  sg_Dll.InitDll();
  RefreshHookSettings();
  InitCommonControls();
}

BOOL CPallumoDlg::OnInitDialog() {
  HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE);
  wchar_t szAbout[128] = {};
  if (hSysMenu && LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, szAbout, 128) > 0) {
    AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(hSysMenu, MF_STRING, 16, szAbout);
  }
  if (m_hIcon) {
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  }

  StartHookLibrary();
  SetUpButtons();

  m_strOutPut = DefaultOutputFolder();
  LoadConfig(ConfigPath());
  SetWindowPos(m_hWnd, m_bWndTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  CreateFolderTree(m_strOutPut);

  const std::wstring strTitle = TitleForLanguage(m_strLanguage);
  SetWindowTextW(m_hWnd, strTitle.c_str());
  SetDlgItemTextW(m_hWnd, IDC_TITLE, strTitle.c_str());
  AddTrayIcon(strTitle);
  RegisterHotKeys(false);

  CreateOptionPages();
  // The pages show the settings just read.
  m_audioPage.ShowSettings(m_bRecWin7);
  m_videoPage.SetFrameRateText(m_strFrameRate);
  m_videoPage.SetOutputFolderText(m_strOutPut);
  m_systemPage.set_WndTop(m_bWndTop);
  m_hotkeyPage.ShowHotKeys(m_wKeyRecord, m_wKeyPause, m_wKeyStop);

  SaveConfig(ConfigPath());
  CheckForUpdate(m_hWnd, m_strLanguage);
  if (g_bWow64) StartHelper();
  CreateRegionWindow();
  CreateBorderWindow();
  // The target watch, after the helper it sends "pid" lines to and the border window.
  m_targetWatch = StartTargetWatch({m_hWnd, &m_HelperLink, g_bWow64 != 0, g_bWin7OrLater != 0});
  LocalizeDialog(m_hWnd, IDD_VANTOR_DIALOG);
  return TRUE;
}

void CPallumoDlg::OnCommand(WORD wId, WORD wCode, HWND hControl) {
  // Buttons send BN_CLICKED (0), menu entries 0 as well.
  if (wCode != BN_CLICKED) return;
  switch (wId) {
    case IDC_RECORD:
      OnRecord();
      break;
    case IDC_PAUSE:
      OnPause();
      break;
    case IDC_STOP:
      OnStop();
      break;
    case IDC_HELP_BUTTON:
      OnHelp();
      break;
    case IDC_CLOSE_BUTTON:
    case ID_TRAY_QUIT:
      PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      break;
    case IDC_HIDE_BUTTON:
      PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case ID_MAXIMIZE:
      PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      break;
    case IDCANCEL:  // Escape closes the program the same way as its close button.
      PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
}

bool CPallumoDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) {
  switch (uMsg) {
    case WM_SYSCOMMAND:
      if (!OnSysCommand(wParam)) return false;
      *pResult = TRUE;
      return true;
    case WM_HOTKEY:
      OnHotKey(static_cast<int>(wParam));
      *pResult = TRUE;
      return true;
    case WM_LBUTTONDOWN:
      // Any free point of the surface drags the window.
      PostMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
      *pResult = TRUE;
      return true;
    case WM_ENDSESSION:
      // Windows is ending the session and may end the process once this returns: a
      // running recording is finished first.
      if (wParam) FinishRecordingAndWait();
      *pResult = 0;
      return true;
    case WM_QUERYDRAGICON:
      *pResult = reinterpret_cast<INT_PTR>(m_hIcon);
      return true;
    default:
      if (uMsg == WM_USER_APPLY_MSG) {
        ApplySettings();
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
        *pResult = TRUE;
        return true;
      }
      if (uMsg == WM_USER_TRAY_MSG) {
        OnTrayNotify(lParam);
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
        *pResult = TRUE;
        return true;
      }
      if (uMsg == m_uSaveCursorMsg && m_uSaveCursorMsg != 0) {
        g_CurrentCursor.store(reinterpret_cast<HCURSOR>(wParam));
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
        *pResult = TRUE;
        return true;
      }
      return false;
  }
}

void CPallumoDlg::ApplySettings() {
  // The pages' values, in the order they are taken. A page that could not be made
  // leaves the loaded values, rather than the settings being saved empty.
  if (m_videoPage.get_Hwnd()) {
    m_strFrameRate = m_videoPage.get_FrameRateText();
    m_strOutPut = m_videoPage.get_OutputFolderText();
  }
  m_hotkeyPage.ReadHotKeys(&m_wKeyRecord, &m_wKeyPause, &m_wKeyStop);
  if (m_systemPage.get_Hwnd()) {
    m_bWndTop = m_systemPage.get_WndTop();
    m_strLanguage = m_systemPage.get_LanguageText();
  }
  if (m_audioPage.get_Hwnd()) m_bRecWin7 = m_audioPage.get_Loopback();
  const std::size_t nFolderEnd = g_strLanguageFile.rfind(L'\\');
  const std::wstring strLanguageFolder =
      nFolderEnd == std::wstring::npos ? std::wstring() : g_strLanguageFile.substr(0, nFolderEnd + 1);
  g_strLanguageFile = strLanguageFolder + m_strLanguage + L".ini";
  CreateFolderTree(m_strOutPut);
  RegisterHotKeys(true);
  SaveConfig(ConfigPath());
}

void CPallumoDlg::OnClose() {
  // The end of the program (the close button, Quit, WM_CLOSE from outside): a recording
  // that still runs keeps every frame grabbed and its file is finished first.
  FinishRecordingAndWait();
  if (g_bWow64) m_HelperLink.AskHelperToQuit();
  // The watch may be inside a probe or a hook-library call: the library goes only
  // after the thread has left it.
  StopTargetWatch(m_targetWatch, kTargetWatchStopMs);
  sg_Dll.DestroyDll();
  RemoveTrayIcon();
  ApplySettings();
  EndDialog(m_hWnd, IDCANCEL);
}

void CPallumoDlg::OnDestroy() {
  DestroyBorderWindow();
  UnregisterHotKeys();
  UninstallOstrel(m_hCursorReportWnd);
  // A helper asked to quit on close has had its time; one that is still there now is
  // terminated.
  if (g_bWow64) m_HelperLink.EndHelper(kHelperQuitGraceMs);
}

}  // namespace vantor
