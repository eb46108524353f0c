// The hotkey page: one hotkey control each for Record, Pause and Stop. Whatever the
// user enters is registered and saved at once.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/DialogBase.h"
#include "widgets/TransparentLabel.h"

namespace vantor {

class COptKeyDlg : public CDialogBase {
 public:
  COptKeyDlg();

  // The controls show the settings' hotkey words (the controls' own format: low byte
  // the key, high byte the modifiers).
  void ShowHotKeys(std::uint32_t wRecord, std::uint32_t wPause, std::uint32_t wStop);
  // The words the controls hold now; false (words untouched) when the page has no
  // window, so that a missing page never clears the user's hotkeys.
  bool ReadHotKeys(std::uint32_t* pRecord, std::uint32_t* pPause, std::uint32_t* pStop) const;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(WORD wId, WORD wCode, HWND hControl) override;

 private:
  CTransparentLabel m_labels[3];
};

}  // namespace vantor
