// The system page: keep the main window on top, and the language of the next start,
// chosen from the files of the program's Language folder.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/DialogBase.h"
#include "widgets/TransparentLabel.h"

namespace vantor {

class COptOptionDlg : public CDialogBase {
 public:
  COptOptionDlg();

  std::int32_t get_WndTop() const { return m_bWndTop; }
  // The main dialog's start: the check box shows the saved choice.
  void set_WndTop(std::int32_t bWndTop);
  // The language list's text: the chosen language's name (empty with no row chosen).
  const std::wstring& get_LanguageText() const { return m_strChosenLanguage; }

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(WORD wId, WORD wCode, HWND hControl) override;

 private:
  void FillLanguageList();
  void OnWndTopClicked();
  void OnLanguageChanged();

  std::int32_t m_bWndTop = 1;
  // The row of the language in use; choosing any other row asks for a restart.
  std::int32_t m_nLanguageRow = 0;
  // The list's text, kept as it changes: a close that reaches the list's drop-down
  // part first (WM_CLOSE to every top-level window of the process, as taskkill sends
  // it) destroys that part, and the list then answers with nothing, which would be
  // saved as an empty language name.
  std::wstring m_strChosenLanguage;
  CTransparentLabel m_label;
};

}  // namespace vantor
