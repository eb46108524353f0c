// The update check's decision: the number the version file announces and the prompt.
#include <gtest/gtest.h>

#include <string>

#include "ui/UpdateRule.h"

namespace vantor {
namespace {

using namespace std::string_literals;

TEST(ui_UpdateRule, NumberFromTheFirstFourBytes) {
  struct Case {
    std::string file;
    int nVersion;
  } cases[] = {
      {"2", 2},
      {" 2", 2},
      {"10", 10},
      {"12345", 1234},
      {"1", 1},
      {"0", 0},
      {"", 0},
      {"\t\r\n7", 7},
      {"    3", 0},  // the blanks use up the four bytes
      {"   3", 3},
      {"  38", 38},
      {"+5", 5},
      {"-3", -3},
      {"- 3", 0},
      {"2\r\n", 2},
      {"3.10", 3},
      {"v2", 0},
      {"0009", 9},
      {"9999", 9999},
      {"2\0"
       "99"s,
       2},
      {"\0"
       "2"s,
       0},
      {"<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">", 0},
      {"<html><body><h1>404 Not Found</h1></body></html>", 0},
      {"404 Not Found", 404},  // a body is read as it is, whatever the status
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnnouncedVersion(c.file), c.nVersion) << '"' << c.file << '"';
  }
}

TEST(ui_UpdateRule, OnlyNumbersAboveOneAnnounceANewerVersion) {
  for (const char* file : {"2", " 2", "10", "12345", "+2"}) {
    EXPECT_TRUE(UpdatePromptFor(file, L"English").has_value()) << file;
  }
  for (const char* file : {"1", "0", "", "-9", " +1", "<html><head><title>500 Internal Server Error</title>"}) {
    EXPECT_FALSE(UpdatePromptFor(file, L"English").has_value()) << file;
  }
}

TEST(ui_UpdateRule, PromptFollowsTheLanguageName) {
  const UpdatePrompt chinese = UpdatePromptForLanguage(L"SimpChinese");
  EXPECT_EQ(chinese.strCaption, L"更新提醒");
  const std::size_t nBreak = chinese.strText.find(L"\r\n");
  ASSERT_NE(nBreak, std::wstring::npos);
  EXPECT_EQ(chinese.strText.substr(nBreak + 2), L"您现在是否需要下载更新?");
  EXPECT_NE(chinese.strText.substr(0, nBreak).find(L"Vantor"), std::wstring::npos);
  EXPECT_EQ(chinese.strTarget.rfind(L"https://", 0), 0u);

  for (const wchar_t* name : {L"English", L"", L"simpchinese", L"SimpChinese ", L"Deutsch"}) {
    const UpdatePrompt english = UpdatePromptForLanguage(name);
    EXPECT_EQ(english.strCaption, L"New version is available") << name;
    const std::size_t n = english.strText.find(L"\r\n");
    ASSERT_NE(n, std::wstring::npos);
    EXPECT_EQ(english.strText.substr(n + 2), L"Do you want to download the latest version right now?");
    EXPECT_NE(english.strText.substr(0, n).find(L"Vantor"), std::wstring::npos);
    EXPECT_EQ(english.strText.find(L"\r\n", n + 2), std::wstring::npos) << "two lines";
    EXPECT_NE(english.strTarget, chinese.strTarget);
  }
  const std::optional<UpdatePrompt> prompt = UpdatePromptFor("2", L"SimpChinese");
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt->strCaption, L"更新提醒");
}

TEST(ui_UpdateRule, EachPromptNamesTheHostOfThePageItOpens) {
  for (const wchar_t* name : {L"SimpChinese", L"English"}) {
    const UpdatePrompt prompt = UpdatePromptForLanguage(name);
    std::wstring strHost = prompt.strTarget.substr(std::wstring(L"https://").size());
    ASSERT_EQ(strHost.back(), L'/');
    strHost.pop_back();
    ASSERT_FALSE(strHost.empty());
    const std::wstring strFirstLine = prompt.strText.substr(0, prompt.strText.find(L"\r\n"));
    EXPECT_NE(strFirstLine.find(strHost), std::wstring::npos) << name;
  }
}

TEST(ui_UpdateRule, VersionFileIsFetchedOverHttpFromItsFixedPath) {
  const std::wstring strUrl = VersionFileUrl();
  EXPECT_EQ(strUrl.rfind(L"http://", 0), 0u);
  const std::wstring strPath = L"/version/version.t";
  ASSERT_GT(strUrl.size(), strPath.size() + 7);
  EXPECT_EQ(strUrl.substr(strUrl.size() - strPath.size()), strPath);
  EXPECT_EQ(strUrl.find(L'/', 7), strUrl.size() - strPath.size()) << "one host, then the path";
}

}  // namespace
}  // namespace vantor
