// The main dialog: the program's only top-level window. It owns every setting (the
// CSettings members), and its initialisation and close are the real start and end of
// the program.
#pragma once
#include <windows.h>

#include <string>

#include "app/Settings.h"
#include "ui/DialogBase.h"

namespace vantor {

class CPallumoDlg : public CDialogBase, public CSettings {
 public:
  CPallumoDlg();
  ~CPallumoDlg() override;

  // Takes the current choices into the settings, creates the output folder and saves
  // Config.ini. Runs on WM_USER_APPLY_MSG and when the window closes.
  void ApplySettings();

  // The window title for a language name.
  static std::wstring TitleForLanguage(const std::wstring& strLanguage);

  // Link to the 64-bit helper: pipe ends and process id (-1: none started).
  HANDLE m_hHelperStdinRead = nullptr;
  HANDLE m_hHelperStdinWrite = nullptr;
  HANDLE m_hHelperStdoutRead = nullptr;
  HANDLE m_hHelperStdoutWrite = nullptr;
  int m_nHelperPid = -1;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(WORD wId, WORD wCode, HWND hControl) override;
  void OnClose() override;
  void OnDestroy() override;
  bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) override;

 private:
  void StartHookLibrary();
  void WriteHelperCommand(const char* pszLine);
  std::wstring ConfigPath() const;

  HICON m_hIcon = nullptr;
};

// Sent by the option pages to apply and save the settings.
constexpr UINT WM_USER_APPLY_MSG = WM_USER + 260;
// The tray icon's callback message.
constexpr UINT WM_USER_TRAY_MSG = WM_USER + 256;

}  // namespace vantor
