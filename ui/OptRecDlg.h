// The audio page: where the sound of a screen recording comes from. Either the
// loopback of the default playback device (Windows 7 and later) or a DirectSound
// capture device chosen in a sorted list whose first added row is the system's default
// device. The choice of device acts at once and is not saved; the loopback flag is
// saved through the main dialog's apply.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/DialogBase.h"
#include "widgets/TransparentLabel.h"

namespace vantor {

class COptRecDlg : public CDialogBase {
 public:
  COptRecDlg();

  // The loopback flag the check box shows (nonzero: record what the computer plays).
  std::int32_t get_Loopback() const { return m_bLoopback; }

  // The main dialog's start: selects the default device's row, takes the saved
  // loopback choice where the system offers loopback (and clears it, and the saved
  // value, where it does not), and decides from the list whether a capture device is
  // present, which enables the list exactly when loopback is off.
  void ShowSettings(std::int32_t& bRecWin7);

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(WORD wId, WORD wCode, HWND hControl) override;

 private:
  // Creates the device of the selected row, when there are devices and a row is
  // selected (typed text selects none).
  void OpenSelectedDevice();
  void OnLoopbackClicked();
  void ShowLoopback();
  void EnableDeviceList();

  std::int32_t m_bLoopback = 1;
  CTransparentLabel m_label;
};

}  // namespace vantor
