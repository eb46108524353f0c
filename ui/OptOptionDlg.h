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
  std::wstring get_LanguageText() const;

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
  CTransparentLabel m_label;
};

}  // namespace vantor
