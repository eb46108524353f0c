// The video options page: the capture mode (DirectX or GDI), full screen or a region
// of it, the frame rate and the output folder. Changes take effect at once: the mode
// and the area when clicked, the folder through the main dialog's apply; the frame
// rate and the folder are read by the recording commands and by the apply when they
// run. The mode is not a setting: every start begins in DirectX mode, full screen.
#pragma once
#include <windows.h>

#include <string>

#include "ui/DialogBase.h"
#include "ui/resource.h"
#include "widgets/HoverBitmapButton.h"
#include "widgets/TransparentLabel.h"

namespace vantor {

class COptVideoDlg : public CDialogBase {
 public:
  COptVideoDlg() : CDialogBase(IDD_OPT_VIDEO) {}

  // DirectX mode: the recording commands only raise the hook library's bits and the
  // hotkeys do nothing. Read by the main dialog's commands.
  bool IsDirectXMode() const { return m_bDirectXMode != 0; }
  bool IsFullScreen() const { return m_bFullScreen != 0; }

  // The frame-rate box's text, as listed or as typed.
  std::wstring get_FrameRateText() const;
  void SetFrameRateText(const std::wstring& strText);
  // The output folder box's text.
  std::wstring get_OutputFolderText() const;
  void SetOutputFolderText(const std::wstring& strText);

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(WORD wId, WORD wCode, HWND hControl) override;

 private:
  void OnDirectX();
  void OnGdi();
  void OnFullScreen();
  void OnRegion();
  void OnBrowse();
  void OnOpenFolder();
  // The recording area becomes the whole screen; the region button has nothing to do.
  void ChooseWholeScreen();
  void SetCheck(int nId, bool bChecked);

  BYTE m_bDirectXMode = 1;
  BYTE m_bFullScreen = 1;

  CTransparentLabel m_lblFrameRate;
  CTransparentLabel m_lblOutputFolder;
  CHoverBitmapButton m_btnRegion;
  CHoverBitmapButton m_btnBrowse;
  CHoverBitmapButton m_btnOpenFolder;
};

}  // namespace vantor
