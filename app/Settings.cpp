#include "app/Settings.h"

#include "app/Globals.h"
#include "app/Ini.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace vantor {

std::wstring DefaultOutputFolder() {
  // The whole current directory, however long; a directory that would not fit a fixed
  // buffer must not turn into an unrelated folder.
  return WideFromUtf8(GetCurrentDir()) + L"\\output";
}

void CSettings::LoadConfig(const std::wstring& strPath) {
  CIni ini;
  ini.SetPath(strPath);

  m_strLanguage = ini.GetString(L"Language", m_strLanguage.c_str(), L"System");

  m_strOutPut = DefaultOutputFolder();
  m_strOutPut = ini.GetString(L"OutPut", m_strOutPut.c_str(), L"System");
  if (m_strOutPut.empty()) m_strOutPut = DefaultOutputFolder();

  m_bWndTop = ini.GetBool(L"WndTop", m_bWndTop, L"System") ? 1 : 0;
  m_bRecWin7 = ini.GetBool(L"RecWin7", m_bRecWin7, L"Audio") ? 1 : 0;
  m_strFrameRate = ini.GetString(L"FrameRate", m_strFrameRate.c_str(), L"Video");

  g_bUseLoopback = g_bWin7OrLater ? m_bRecWin7 : 0;

  m_wKeyRecord = ini.GetUInt(L"KeyRecord", m_wKeyRecord, L"HotKey");
  m_wKeyPause = ini.GetUInt(L"KeyPause", m_wKeyPause, L"HotKey");
  m_wKeyStop = ini.GetUInt(L"KeyStop", m_wKeyStop, L"HotKey");
}

void CSettings::SaveConfig(const std::wstring& strPath) {
  CIni ini;
  ini.SetPath(strPath);

  ini.WriteString(L"Language", m_strLanguage.c_str(), L"System");
  ini.WriteString(L"OutPut", m_strOutPut.c_str(), L"System");
  ini.WriteInt(L"WndTop", m_bWndTop, L"System");
  ini.WriteInt(L"FPS", 1, L"System");
  ini.WriteInt(L"ShowTime", 1, L"System");

  ini.WriteString(L"FrameRate", m_strFrameRate.c_str(), L"Video");
  ini.WriteInt(L"Zoom", 1, L"Video");

  if (!g_bWin7OrLater) {
    g_bUseLoopback = 0;
    m_bRecWin7 = 0;
  }
  ini.WriteInt(L"UseRec", 1, L"Audio");
  ini.WriteInt(L"RecWin7", m_bRecWin7, L"Audio");
  ini.WriteInt(L"RecDevice", g_bCaptureDevicePresent, L"Audio");

  ini.WriteUInt(L"KeyRecord", m_wKeyRecord, L"HotKey");
  ini.WriteUInt(L"KeyPause", m_wKeyPause, L"HotKey");
  ini.WriteUInt(L"KeyStop", m_wKeyStop, L"HotKey");
}

}  // namespace vantor
