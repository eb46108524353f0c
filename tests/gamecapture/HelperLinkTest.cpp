// The link to the 64-bit helper, with a stand-in helper that writes down what reaches
// it (FakeHelper.cpp), started from a folder whose name has a space.
#include "gamecapture/HelperLink.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace vantor {
namespace {

std::wstring TestFolder() {
  wchar_t szPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  std::wstring strPath = szPath;
  return strPath.substr(0, strPath.rfind(L'\\') + 1);
}

// The stand-in helper lives in "<test folder>helper dir\"; a decoy "helper.exe" beside
// that folder is what an unquoted command line would start instead.
std::wstring HelperFolder() { return TestFolder() + L"helper dir\\"; }

class HelperLink : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t szTemp[MAX_PATH] = {}, szFile[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    ASSERT_TRUE(GetTempFileNameW(szTemp, L"vhl", 0, szFile));
    m_strLog = szFile;
    SetEnvironmentVariableW(L"VANTOR_FAKE_HELPER_LOG", szFile);
    m_Link.SetHelperFolder(HelperFolder());
    m_hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    m_hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  void TearDown() override {
    m_Link.EndHelper(0);
    DeleteFileW(m_strLog.c_str());
  }

  std::vector<std::string> LogLines() const {
    std::ifstream file(Utf8FromWide(m_strLog), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string strLine; std::getline(file, strLine);) lines.push_back(strLine);
    return lines;
  }
  bool LogHas(const std::string& strLine) const {
    for (const std::string& s : LogLines()) {
      if (s == strLine) return true;
    }
    return false;
  }
  // The helper runs on its own: wait (CTest's limit ends a wait that never ends)
  // until it has written the line down.
  void WaitForLog(const std::string& strLine) const {
    while (!LogHas(strLine)) Sleep(10);
  }
  void ExpectStandardHandlesUnchanged() const {
    EXPECT_EQ(GetStdHandle(STD_INPUT_HANDLE), m_hStdInput);
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), m_hStdOutput);
  }

  CHelperLink m_Link;
  std::wstring m_strLog;
  HANDLE m_hStdInput = nullptr;
  HANDLE m_hStdOutput = nullptr;
};

struct VisibleWindowSearch {
  DWORD dwProcessId;
  int nVisible;
};

BOOL CALLBACK CountVisibleWindows(HWND hWnd, LPARAM lParam) {
  auto* pSearch = reinterpret_cast<VisibleWindowSearch*>(lParam);
  DWORD dwOwner = 0;
  GetWindowThreadProcessId(hWnd, &dwOwner);
  if (dwOwner == pSearch->dwProcessId && IsWindowVisible(hWnd)) ++pSearch->nVisible;
  return TRUE;
}

TEST_F(HelperLink, StartsTheHelperHiddenWithItsPipesAndSendsBegin) {
  ASSERT_TRUE(m_Link.StartHelper());
  ExpectStandardHandlesUnchanged();
  ASSERT_NE(m_Link.m_nHelperPid, -1);
  EXPECT_TRUE(m_Link.IsHelperRunning());
  m_Link.WriteToHelper("pid 4242\r\n");
  m_Link.WriteToHelper("");
  m_Link.WriteToHelper(nullptr);
  WaitForLog("line pid 4242");
  VisibleWindowSearch search = {static_cast<DWORD>(m_Link.m_nHelperPid), 0};
  EnumWindows(CountVisibleWindows, reinterpret_cast<LPARAM>(&search));
  EXPECT_EQ(search.nVisible, 0);

  m_Link.AskHelperToQuit();
  m_Link.EndHelper(INFINITE);
  EXPECT_EQ(m_Link.get_HelperExitCode(), 0u);
  const std::string strPath = Utf8FromWide(HelperFolder()) + "VantorX64.exe";
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"cmd \"" + strPath + "\"", "exe " + strPath,
                                                  "console-visible 0", "pipes 111", "line begin",
                                                  "line pid 4242", "line quit", "end quit"}));
}

TEST_F(HelperLink, StartsOnlyOnce) {
  ASSERT_TRUE(m_Link.StartHelper());
  const int nPid = m_Link.m_nHelperPid;
  EXPECT_FALSE(m_Link.StartHelper());
  EXPECT_EQ(m_Link.m_nHelperPid, nPid);
}

TEST_F(HelperLink, ItsOutputNeverStopsTheHelper) {
  // A megabyte of answers is far more than a pipe holds: unread, it would stop the
  // helper at its first write and "quit" would never be read.
  ASSERT_TRUE(m_Link.StartHelper());
  m_Link.WriteToHelper("flood\r\n");
  m_Link.WriteToHelper("flood\r\n");
  m_Link.AskHelperToQuit();
  m_Link.EndHelper(INFINITE);
  EXPECT_TRUE(LogHas("flooded"));
  EXPECT_TRUE(LogHas("end quit"));
  EXPECT_EQ(m_Link.get_HelperExitCode(), 0u);
}

TEST_F(HelperLink, NothingIsWrittenOnceTheHelperHasEnded) {
  ASSERT_TRUE(m_Link.StartHelper());
  m_Link.WriteToHelper("die\r\n");
  while (m_Link.IsHelperRunning()) Sleep(10);
  // Megabytes of lines into a pipe nobody reads: each would wait for ever once the
  // pipe is full.
  for (int i = 0; i < 200000; ++i) m_Link.WriteToHelper("pid 123456\r\n");
  // An ended helper is not terminated again: its own exit code stays.
  m_Link.EndHelper(INFINITE);
  EXPECT_EQ(m_Link.get_HelperExitCode(), 3u);
}

TEST_F(HelperLink, AHelperThatDoesNotQuitIsTerminated) {
  ASSERT_TRUE(m_Link.StartHelper());
  m_Link.WriteToHelper("hang\r\n");
  WaitForLog("line hang");
  m_Link.AskHelperToQuit();
  m_Link.EndHelper(100);
  EXPECT_FALSE(m_Link.IsHelperRunning());
  EXPECT_EQ(m_Link.get_HelperExitCode(), 0u);
  EXPECT_FALSE(LogHas("end quit"));
}

TEST_F(HelperLink, WithoutComSpecNoHelperIsStarted) {
  wchar_t szComSpec[MAX_PATH] = {};
  const bool bHadComSpec = GetEnvironmentVariableW(L"ComSpec", szComSpec, MAX_PATH) > 0;
  SetEnvironmentVariableW(L"ComSpec", nullptr);
  const bool bStarted = m_Link.StartHelper();
  if (bHadComSpec) SetEnvironmentVariableW(L"ComSpec", szComSpec);
  EXPECT_FALSE(bStarted);
  EXPECT_EQ(m_Link.m_nHelperPid, -1);
  ExpectStandardHandlesUnchanged();
  // Lines for a helper that never ran go nowhere, and never wait.
  for (int i = 0; i < 200000; ++i) m_Link.WriteToHelper("pid 123456\r\n");
  m_Link.AskHelperToQuit();
  m_Link.EndHelper(INFINITE);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(HelperLink, AMissingHelperIsNoStart) {
  m_Link.SetHelperFolder(TestFolder() + L"no such folder\\");
  EXPECT_FALSE(m_Link.StartHelper());
  EXPECT_EQ(m_Link.m_nHelperPid, -1);
  EXPECT_FALSE(m_Link.IsHelperRunning());
  ExpectStandardHandlesUnchanged();
  m_Link.EndHelper(INFINITE);
}

}  // namespace
}  // namespace vantor
