// The main dialog: the program's only top-level window. It owns every setting (the
// CSettings members), and its initialisation and close are the real start and end of
// the program.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "app/Settings.h"
#include "gamecapture/HelperLink.h"
#include "platform/win32/Owners.h"
#include "ui/DialogBase.h"
#include "ui/OptKeyDlg.h"
#include "ui/OptOptionDlg.h"
#include "ui/OptRecDlg.h"
#include "ui/OptVideoDlg.h"
#include "ui/resource.h"
#include "widgets/HoverBitmapButton.h"
#include "widgets/ImageButton.h"
#include "widgets/TabHost.h"
#include "widgets/TransparentLabel.h"

namespace vantor {

class CFlashingWnd;

class CPallumoDlg : public CDialogBase, public CSettings {
 public:
  CPallumoDlg();
  ~CPallumoDlg() override;

  // Takes the current choices into the settings, creates the output folder and saves
  // Config.ini. Runs on WM_USER_APPLY_MSG and when the window closes.
  void ApplySettings();

  // The window title for a language name.
  static std::wstring TitleForLanguage(const std::wstring& strLanguage);

  // The recording commands, from the buttons, the tray menu and the hotkeys. In
  // DirectX mode they only raise the hook library's command bits; in GDI mode they
  // drive the program's own recording (TheGdiRecording()).
  void OnRecord();
  void OnPause();
  void OnStop();
  void OnHelp();
  // DirectX mode (the video page's choice; the mode every start begins in).
  bool IsDirectXMode() const { return m_videoPage.IsDirectXMode(); }

  // Starts the 64-bit helper (64-bit Windows only); see CHelperLink.
  bool StartHelper() { return m_HelperLink.StartHelper(); }
  // Where target selection writes its "pid" lines.
  IHelperWriter& get_HelperWriter() { return m_HelperLink; }

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(WORD wId, WORD wCode, HWND hControl) override;
  void OnClose() override;
  void OnDestroy() override;
  bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) override;

 private:
  void StartHookLibrary();
  bool OnSysCommand(WPARAM wCommand);
  void OnHotKey(int nId);
  void OnTrayNotify(LPARAM lMouseMessage);
  void ShowTrayMenu();
  // Registers the three hotkey words, each under its pair of ids; bAgain first
  // unregisters what an earlier call registered.
  void RegisterHotKeys(bool bAgain);
  void UnregisterHotKeys();
  void AddTrayIcon(const std::wstring& strTip);
  void RemoveTrayIcon();
  void CreateBorderWindow();
  void DestroyBorderWindow();
  // The texts the Record command reads from the video page.
  std::wstring FrameRateText() const;
  std::wstring OutputFolderText() const;
  std::wstring ConfigPath() const;

  HICON m_hIcon = nullptr;

  // The window the cursor reporter reports to, set by the first GDI Record.
  HWND m_hCursorReportWnd = nullptr;
  UINT m_uSaveCursorMsg = 0;
  bool m_bTrayIconAdded = false;
  // The recording border (created at start, shown by the recordings).
  std::unique_ptr<CFlashingWnd> m_pBorderWnd;
  // The pipes to the 64-bit helper and the helper process.
  CHelperLink m_HelperLink;

  // The dialog's looks (PallumoDlgLooks.cpp): the buttons' pictures and colours, and
  // the tab control with the option pages in the placeholder's place.
  void SetUpButtons();
  void CreateOptionPages();

  CImageButton m_btnRecord;
  CImageButton m_btnPause;
  CImageButton m_btnStop;
  CImageButton m_btnHelp;
  CHoverBitmapButton m_btnClose;
  CHoverBitmapButton m_btnHide;
  CTransparentLabel m_title;
  COptVideoDlg m_videoPage;
  COptRecDlg m_audioPage;
  COptOptionDlg m_systemPage;
  COptKeyDlg m_hotkeyPage;
  CTabHost m_tab;

  // The target-watch thread, started at the end of the initialisation; the video page
  // pauses it with SetTargetWatchPaused (gamecapture/TargetWatch.h).
  CThreadHandle m_targetWatch;
};

// Sent by the option pages to apply and save the settings.
constexpr UINT WM_USER_APPLY_MSG = WM_USER + 260;
// The tray icon's callback message.
constexpr UINT WM_USER_TRAY_MSG = WM_USER + 256;
// The tray icon's id.
constexpr UINT kTrayIconId = 128;

}  // namespace vantor
