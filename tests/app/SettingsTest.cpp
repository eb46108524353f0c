// The settings file rules: what a first run writes, what is read back, what is
// overwritten, and how the Windows version bends the loopback choice.
#include <gtest/gtest.h>

#include <string>

#include "app/Globals.h"
#include "app/Settings.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "tests/app/TestFiles.h"

namespace vantor {
namespace {

using test::CTempDir;
using test::Narrow;
using test::ReadBytes;
using test::WriteBytes;

class app_Config : public ::testing::Test {
 protected:
  app_Config() : m_cwd(m_workDir.Folder()) {}
  ~app_Config() override {
    g_bWin7OrLater = m_bSavedWin7;
    g_bUseLoopback = m_bSavedLoopback;
    g_bCaptureDevicePresent = m_bSavedDevice;
  }

  // The file a first run ends with, for a given current directory.
  static std::string FirstRunFile(const std::wstring& strCurrentDir, int nRecDevice) {
    return "[System]\r\nLanguage=\"\"\r\nOutPut=\"" + Narrow(strCurrentDir) +
           "\\output\"\r\nWndTop=1\r\nFPS=1\r\nShowTime=1\r\n"
           "[Video]\r\nFrameRate=\"\"\r\nZoom=1\r\n"
           "[Audio]\r\nUseRec=1\r\nRecWin7=0\r\nRecDevice=" + std::to_string(nRecDevice) + "\r\n"
           "[HotKey]\r\nKeyRecord=117\r\nKeyPause=118\r\nKeyStop=119\r\n";
  }

  std::int32_t m_bSavedWin7 = g_bWin7OrLater;
  std::int32_t m_bSavedLoopback = g_bUseLoopback;
  std::int32_t m_bSavedDevice = g_bCaptureDevicePresent;
  CTempDir m_programDir;
  CTempDir m_workDir;  // the current directory: the default output folder is made from it
  test::CCurrentDirScope m_cwd;
  std::wstring m_strConfig = m_programDir.FolderWithSeparator() + L"Config.ini";
};

TEST_F(app_Config, FirstRunWritesEveryKeyWithItsDefault) {
  g_bWin7OrLater = 1;
  g_bCaptureDevicePresent = 1;
  CSettings settings;
  settings.LoadConfig(m_strConfig);
  EXPECT_EQ(settings.m_strOutPut, WideFromUtf8(GetCurrentDir()) + L"\\output");
  EXPECT_EQ(ReadBytes(m_strConfig), "<missing>");  // loading creates nothing
  settings.SaveConfig(m_strConfig);
  EXPECT_EQ(ReadBytes(m_strConfig), FirstRunFile(WideFromUtf8(GetCurrentDir()), 1));

  // Saving unchanged settings again leaves the file as it is.
  settings.SaveConfig(m_strConfig);
  EXPECT_EQ(ReadBytes(m_strConfig), FirstRunFile(WideFromUtf8(GetCurrentDir()), 1));
}

TEST_F(app_Config, SavedSettingsComeBack) {
  g_bWin7OrLater = 1;
  CSettings saved;
  saved.m_strLanguage = L"SimpChinese";
  saved.m_strOutPut = L"  D:\\Videos\\my \"best\" ";
  saved.m_strFrameRate = L"15.0 fps";
  saved.m_bWndTop = 0;
  saved.m_bRecWin7 = 1;
  saved.m_wKeyRecord = 629;  // Ctrl+F6
  saved.m_wKeyPause = 0x0876;
  saved.m_wKeyStop = 0;
  saved.SaveConfig(m_strConfig);

  CSettings loaded;
  loaded.LoadConfig(m_strConfig);
  EXPECT_EQ(loaded.m_strLanguage, saved.m_strLanguage);
  EXPECT_EQ(loaded.m_strOutPut, saved.m_strOutPut);
  EXPECT_EQ(loaded.m_strFrameRate, saved.m_strFrameRate);
  EXPECT_EQ(loaded.m_bWndTop, 0);
  EXPECT_EQ(loaded.m_bRecWin7, 1);
  EXPECT_EQ(g_bUseLoopback, 1);
  EXPECT_EQ(loaded.m_wKeyRecord, 629u);
  EXPECT_EQ(loaded.m_wKeyPause, 0x0876u);
  EXPECT_EQ(loaded.m_wKeyStop, 0u);
  EXPECT_NE(ReadBytes(m_strConfig).find("KeyRecord=629\r\n"), std::string::npos);
}

TEST_F(app_Config, LongOutputFolderComesBackCutTo255Characters) {
  CSettings saved;
  saved.m_strOutPut = L"C:\\";
  while (saved.m_strOutPut.size() < 300) saved.m_strOutPut += L"folder\\";
  saved.m_strOutPut.resize(300);
  saved.SaveConfig(m_strConfig);
  CSettings loaded;
  loaded.LoadConfig(m_strConfig);
  EXPECT_EQ(loaded.m_strOutPut, saved.m_strOutPut.substr(0, 255));
}

TEST_F(app_Config, LoopbackNeedsWindows7) {
  struct Case {
    std::int32_t bWin7OrLater;
    int nStored;
    std::int32_t bLoopbackAfterLoad;
    const char* savedLine;
  } cases[] = {
      {0, 1, 0, "RecWin7=0\r\n"},  // XP and Vista: read, not used, cleared by the save
      {1, 1, 1, "RecWin7=1\r\n"},
      {1, 0, 0, "RecWin7=0\r\n"},
      {0, 0, 0, "RecWin7=0\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bWin7OrLater * 10 + c.nStored);
    g_bWin7OrLater = c.bWin7OrLater;
    g_bUseLoopback = 1 - c.bLoopbackAfterLoad;
    WriteBytes(m_strConfig, "[Audio]\r\nRecWin7=" + std::to_string(c.nStored) + "\r\n");
    CSettings settings;
    settings.LoadConfig(m_strConfig);
    EXPECT_EQ(settings.m_bRecWin7, c.nStored);
    EXPECT_EQ(g_bUseLoopback, c.bLoopbackAfterLoad);
    settings.SaveConfig(m_strConfig);
    EXPECT_NE(ReadBytes(m_strConfig).find(c.savedLine), std::string::npos);
    EXPECT_EQ(settings.m_bRecWin7, c.bWin7OrLater ? c.nStored : 0);
    EXPECT_EQ(g_bUseLoopback, c.bLoopbackAfterLoad);
  }
}

TEST_F(app_Config, SaveBeforeWindows7ClearsALoopbackChosenMeanwhile) {
  g_bWin7OrLater = 0;
  g_bUseLoopback = 1;
  CSettings settings;
  settings.m_bRecWin7 = 1;
  settings.SaveConfig(m_strConfig);
  EXPECT_EQ(g_bUseLoopback, 0);
  EXPECT_EQ(settings.m_bRecWin7, 0);
}

TEST_F(app_Config, HandMadeChangesToUnreadKeysAreOverwritten) {
  g_bWin7OrLater = 1;
  g_bCaptureDevicePresent = 0;
  WriteBytes(m_strConfig,
             "; my notes\r\n[System]\r\nFPS=30\r\nShowTime=0\r\nLanguage=\"English\"\r\n"
             "[Video]\r\nZoom=4\r\n[Audio]\r\nUseRec=0\r\nRecDevice=1\r\n[Extra]\r\nmine=1\r\n");
  CSettings settings;
  settings.LoadConfig(m_strConfig);
  settings.SaveConfig(m_strConfig);
  const std::string expected =
      "; my notes\r\n"
      "[System]\r\nFPS=1\r\nShowTime=1\r\nLanguage=\"English\"\r\nOutPut=\"" +
      Narrow(WideFromUtf8(GetCurrentDir())) +
      "\\output\"\r\nWndTop=1\r\n"
      "[Video]\r\nZoom=1\r\nFrameRate=\"\"\r\n"
      "[Audio]\r\nUseRec=1\r\nRecDevice=0\r\nRecWin7=0\r\n"
      "[Extra]\r\nmine=1\r\n"
      "[HotKey]\r\nKeyRecord=117\r\nKeyPause=118\r\nKeyStop=119\r\n";
  EXPECT_EQ(ReadBytes(m_strConfig), expected);
}

TEST_F(app_Config, MissingKeysKeepTheCurrentValuesAndBadNumbersReadAsZero) {
  WriteBytes(m_strConfig, "[System]\r\nWndTop=yes\r\n[HotKey]\r\nKeyPause=\r\n");
  CSettings settings;
  settings.m_strLanguage = L"Deutsch";
  settings.m_strFrameRate = L"30.0 fps";
  settings.m_wKeyRecord = 1;
  settings.LoadConfig(m_strConfig);
  EXPECT_EQ(settings.m_strLanguage, L"Deutsch");
  EXPECT_EQ(settings.m_strFrameRate, L"30.0 fps");
  EXPECT_EQ(settings.m_bWndTop, 0);
  EXPECT_EQ(settings.m_wKeyRecord, 1u);
  EXPECT_EQ(settings.m_wKeyPause, 0u);  // no hotkey
  EXPECT_EQ(settings.m_wKeyStop, 119u);
}

TEST_F(app_Config, EmptyOutputFolderFallsBackToTheDefault) {
  WriteBytes(m_strConfig, "[System]\r\nOutPut=\"\"\r\n");
  CSettings settings;
  settings.m_strOutPut = L"D:\\before";
  settings.LoadConfig(m_strConfig);
  EXPECT_EQ(settings.m_strOutPut, WideFromUtf8(GetCurrentDir()) + L"\\output");
}

TEST_F(app_Config, Utf16FileStaysUtf16) {
  const std::u16string text = u"\uFEFF[System]\r\nLanguage=\"SimpChinese\"\r\n";
  WriteBytes(m_strConfig, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  CSettings settings;
  settings.LoadConfig(m_strConfig);
  EXPECT_EQ(settings.m_strLanguage, L"SimpChinese");
  settings.m_strOutPut = L"C:\\\u5F55\u50CF";
  settings.SaveConfig(m_strConfig);
  const std::string bytes = ReadBytes(m_strConfig);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  CSettings loaded;
  loaded.LoadConfig(m_strConfig);
  EXPECT_EQ(loaded.m_strOutPut, L"C:\\\u5F55\u50CF");
  EXPECT_EQ(loaded.m_wKeyStop, 119u);
}

TEST_F(app_Config, UnwritableFileLeavesTheSettingsAlone) {
  const std::wstring strNowhere = m_programDir.File(L"nofolder\\Config.ini");
  CSettings settings;
  settings.m_wKeyRecord = 5;
  settings.SaveConfig(strNowhere);
  settings.LoadConfig(strNowhere);
  EXPECT_EQ(settings.m_wKeyRecord, 5u);
  EXPECT_EQ(settings.m_strOutPut, WideFromUtf8(GetCurrentDir()) + L"\\output");
}

}  // namespace
}  // namespace vantor
