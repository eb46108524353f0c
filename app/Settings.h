// The user's settings and their file, Config.ini in the program folder.
//
// The main dialog holds these values (it derives from CSettings or owns one) and calls
// LoadConfig when it starts and SaveConfig after every change and at exit. The file's
// sections and keys, in the order SaveConfig writes them:
//
//   [System]  Language="<name>"  OutPut="<folder>"  WndTop=<0|1>  FPS=1  ShowTime=1
//   [Video]   FrameRate="<text of the frame-rate box>"  Zoom=1
//   [Audio]   UseRec=1  RecWin7=<0|1>  RecDevice=<g_bCaptureDevicePresent>
//   [HotKey]  KeyRecord=<word>  KeyPause=<word>  KeyStop=<word>
//
// FPS, ShowTime, Zoom, UseRec and RecDevice are never read back: a hand-made change
// has no effect and is overwritten by the next save.
#pragma once
#include <cstdint>
#include <string>

namespace vantor {

class CSettings {
 public:
  // Language name: the title of a file in the Language folder. Empty until the first
  // apply step fills it in.
  std::wstring m_strLanguage;
  // Output folder for recordings; LoadConfig makes it the default folder when the file
  // gives none.
  std::wstring m_strOutPut;
  // The frame-rate text exactly as the frame-rate box shows it, e.g. "15.0 fps".
  std::wstring m_strFrameRate;
  // The main window stays on top of other windows.
  std::int32_t m_bWndTop = 1;
  // Record the sound of the default playback device (Windows 7 and later). Kept as read
  // even where it cannot apply, until the next save clears it there.
  std::int32_t m_bRecWin7 = 0;
  // Hotkey words: low byte virtual-key code, high byte modifiers (1 Shift, 2 Ctrl,
  // 4 Alt, 8 extended). Defaults F6, F7 and F8.
  std::uint32_t m_wKeyRecord = 117;
  std::uint32_t m_wKeyPause = 118;
  std::uint32_t m_wKeyStop = 119;

  // Reads every setting from the file at strPath; each missing key (or a missing file)
  // leaves the member's current value. Sets g_bUseLoopback from RecWin7 on Windows 7
  // and later, else clears it.
  void LoadConfig(const std::wstring& strPath);
  // Writes all thirteen keys. Before Windows 7 it clears RecWin7 and g_bUseLoopback
  // first, so a loopback choice made elsewhere does not survive there.
  void SaveConfig(const std::wstring& strPath);
};

// The output folder used when the file names none: the process's current directory
// (not the program folder) followed by "\output".
std::wstring DefaultOutputFolder();

}  // namespace vantor
