// The main dialog's recording commands and what carries them: the buttons, the tray
// icon and its menu, the global hotkeys and the cursor reports of the mouse hook.
#include <windows.h>
#include <shellapi.h>

#include "Lumvex/Lumvex.h"
#include "Ostrel/Ostrel.h"
#include "gamecapture/HookSettingsWin32.h"
#include "overlays/FlashingWnd.h"
#include "recording/GdiRecordingWin32.h"
#include "recording/RecordingSettings.h"
#include "recording/ScreenGrabber.h"
#include "ui/AboutDlg.h"
#include "ui/CommandRules.h"
#include "ui/Localization.h"
#include "ui/PallumoDlg.h"
#include "ui/resource.h"

namespace vantor {

namespace {

constexpr UINT kTrayMenuId = 128;
constexpr UINT kQuitCommand = 32822;
// What Record records at when the frame-rate box holds no rate of at least one frame a
// second (an empty box on the first run): otherwise the dialog would hide as if it
// recorded while nothing is recorded.
constexpr float kFallbackFrameRate = 25.0f;

// The program's one way into a recording: every route goes through it.
IRecordingCommands& Recording() { return TheGdiRecording(); }

}  // namespace

void CPallumoDlg::OnRecord() {
  if (IsDirectXMode()) {
    InterlockedOr(&sg_Dll.m_nCommandFlags, OSTREL_CMD_RECORD);
    return;
  }
  sg_Dll.DestroyDll();
  sg_Dll.InitDll();
  RefreshHookSettings();
  PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  m_hCursorReportWnd = m_hWnd;
  InstallOstrel(m_hWnd, m_uSaveCursorMsg);
  g_OutputFolder = OutputFolderText();
  g_FrameRate = FrameRateFromText(FrameRateText());
  if (!(g_FrameRate >= 1.0f)) g_FrameRate = kFallbackFrameRate;
  // A second Record while one runs changes nothing; one while paused resumes it.
  Recording().Record();
}

void CPallumoDlg::OnPause() {
  if (IsDirectXMode()) {
    InterlockedOr(&sg_Dll.m_nCommandFlags, OSTREL_CMD_PAUSE);
    return;
  }
  // Pause again (or Record) resumes: nothing else would ever let the recording go on.
  Recording().Pause();
}

void CPallumoDlg::OnStop() {
  // Hides the border and ends the recording after its current frame.
  Recording().Stop();
  UninstallOstrel(m_hCursorReportWnd);
  InterlockedOr(&sg_Dll.m_nCommandFlags, OSTREL_CMD_STOP);
}

void CPallumoDlg::OnHelp() { ShowAboutBox(m_hWnd); }

bool CPallumoDlg::OnSysCommand(WPARAM wCommand) {
  if ((wCommand & 0xFFF0) == SC_MINIMIZE) {
    // The window hides instead; the tray icon brings it back.
    ShowWindow(m_hWnd, SW_HIDE);
    return true;
  }
  if ((wCommand & 0xFFF0) == 0x10) {
    OnHelp();
    return true;
  }
  return false;
}

void CPallumoDlg::OnHotKey(int nId) {
  if (IsDirectXMode()) return;
  switch (CommandForHotKey(nId)) {
    case HotKeyCommand::kRecord:
      PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      OnRecord();
      break;
    case HotKeyCommand::kPause:
      OnPause();
      break;
    case HotKeyCommand::kStop:
      OnStop();
      break;
    case HotKeyCommand::kNone:
      break;
  }
}

void CPallumoDlg::OnTrayNotify(LPARAM lMouseMessage) {
  switch (static_cast<UINT>(lMouseMessage)) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ShowWindow(m_hWnd, SW_SHOWNORMAL);
      break;
    case WM_RBUTTONDOWN:
      ShowTrayMenu();
      break;
    default:
      break;
  }
}

void CPallumoDlg::ShowTrayMenu() {
  HMENU hMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kTrayMenuId));
  if (!hMenu) return;
  // The texts are read each time, so a language chosen since the start shows at once.
  const struct {
    UINT uId;
    const wchar_t* pszKey;
  } items[] = {{IDC_RECORD, L"Record"}, {IDC_PAUSE, L"Pause"}, {IDC_STOP, L"Stop"}, {kQuitCommand, L"Quit"}};
  for (const auto& item : items) {
    const std::wstring strText = LoadLangString(item.pszKey);
    ModifyMenuW(hMenu, item.uId, MF_BYCOMMAND | MF_STRING, item.uId, strText.c_str());
  }
  POINT pt{};
  GetCursorPos(&pt);
  SetForegroundWindow(m_hWnd);
  TrackPopupMenu(GetSubMenu(hMenu, 0), TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
  // Lets the menu close when the user clicks elsewhere next time (a known need of menus
  // shown from a tray icon).
  PostMessageW(m_hWnd, WM_NULL, 0, 0);
  DestroyMenu(hMenu);
}

void CPallumoDlg::RegisterHotKeys(bool bAgain) {
  if (bAgain) UnregisterHotKeys();
  const struct {
    int nFirst, nSecond;
    std::uint32_t nWord;
  } pairs[] = {{kHotKeyRecord1, kHotKeyRecord2, m_wKeyRecord},
               {kHotKeyPause1, kHotKeyPause2, m_wKeyPause},
               {kHotKeyStop1, kHotKeyStop2, m_wKeyStop}};
  for (const auto& pair : pairs) {
    const auto wKey = static_cast<std::uint16_t>(pair.nWord);  // the control's 16 bits
    const UINT uModifiers = HotKeyToModifiers(wKey);
    const UINT uKey = HotKeyVirtualKey(wKey);
    // A combination another program holds simply does not work; the buttons and the
    // tray menu still do.
    RegisterHotKey(m_hWnd, pair.nFirst, uModifiers, uKey);
    RegisterHotKey(m_hWnd, pair.nSecond, uModifiers, uKey);
  }
}

void CPallumoDlg::UnregisterHotKeys() {
  for (int nId = kHotKeyRecord1; nId <= kHotKeyStop2; ++nId) UnregisterHotKey(m_hWnd, nId);
}

void CPallumoDlg::AddTrayIcon(const std::wstring& strTip) {
  if (m_bTrayIconAdded) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = m_hWnd;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = WM_USER_TRAY_MSG;
  data.hIcon = m_hIcon;
  lstrcpynW(data.szTip, strTip.c_str(), ARRAYSIZE(data.szTip));
  m_bTrayIconAdded = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void CPallumoDlg::RemoveTrayIcon() {
  if (!m_bTrayIconAdded) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = m_hWnd;
  data.uID = kTrayIconId;
  Shell_NotifyIconW(NIM_DELETE, &data);
  m_bTrayIconAdded = false;
}

void CPallumoDlg::CreateBorderWindow() {
  auto pBorder = std::make_unique<CFlashingWnd>();
  const RECT rcScreen = {0, 0, GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
  if (!pBorder->Create(L"Recording......", rcScreen)) return;
  m_pBorderWnd = std::move(pBorder);
  UseBorderWindow(m_pBorderWnd.get());
}

void CPallumoDlg::DestroyBorderWindow() {
  // Waits for a recording that still shows it.
  UseBorderWindow(nullptr);
  if (m_pBorderWnd) m_pBorderWnd->Destroy();
  m_pBorderWnd.reset();
}

std::wstring CPallumoDlg::FrameRateText() const { return m_videoPage.get_FrameRateText(); }

std::wstring CPallumoDlg::OutputFolderText() const { return m_videoPage.get_OutputFolderText(); }

}  // namespace vantor
