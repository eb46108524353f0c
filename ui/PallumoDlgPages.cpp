// The main dialog and its option pages: the pages show the settings at the start, and
// the apply takes them back, page by page, in the order the settings are saved.
#include "ui/PallumoDlg.h"

namespace vantor {

void CPallumoDlg::FillOptionPages() {
  m_videoPage.SetFrameRateText(m_strFrameRate);
  m_videoPage.SetOutputFolderText(m_strOutPut);
}

void CPallumoDlg::TakeVideoPage() {
  // Without its page (the tab control could not be made) the loaded values stay, rather
  // than the settings being saved empty.
  if (!m_videoPage.get_Hwnd()) return;
  m_strFrameRate = m_videoPage.get_FrameRateText();
  m_strOutPut = m_videoPage.get_OutputFolderText();
}

// The hotkey page's controls 1207, 1208, 1209 give m_wKeyRecord, m_wKeyPause and
// m_wKeyStop (their 16-bit values); until it has them the loaded words stay.
void CPallumoDlg::TakeHotkeyPage() {}

// The system page gives m_bWndTop (its always-on-top flag) and m_strLanguage (its
// language list's text); until it has them the loaded values stay.
void CPallumoDlg::TakeSystemPage() {}

// The audio page gives m_bRecWin7 (its loopback flag); until it has it the loaded
// value stays.
void CPallumoDlg::TakeAudioPage() {}

}  // namespace vantor
