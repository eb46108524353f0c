// The start-up choices: the program folder and the language file.
#include <gtest/gtest.h>

#include <string>

#include "app/ProgramFolder.h"
#include "app/Startup.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "tests/app/TestFiles.h"

namespace vantor {
namespace {

using test::CTempDir;
using test::WriteBytes;

TEST(app_Startup, ProgramFolderKeepsItsTrailingSeparator) {
  struct Case {
    const wchar_t* path;
    const wchar_t* folder;
  } cases[] = {
      {L"C:\\Program Files\\Vantor\\Vantor.exe", L"C:\\Program Files\\Vantor\\"},
      {L"C:\\Vantor.exe", L"C:\\"},
      {L"\\\\server\\share\\v.1\\Vantor.exe", L"\\\\server\\share\\v.1\\"},
      {L"/opt/vantor/app_test", L"/opt/vantor/"},
      {L"Vantor.exe", L""},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramFolderFromPath(c.path), c.folder);
}

TEST(app_Startup, ProgramFolderIsTheRunningExecutablesFolder) {
  const std::wstring strFolder = GetProgramFolder();
  ASSERT_FALSE(strFolder.empty());
  EXPECT_EQ(WideFromUtf8(GetProgramPath()).substr(0, strFolder.size()), strFolder);
  EXPECT_TRUE(strFolder.back() == L'\\' || strFolder.back() == L'/');
}

TEST(app_Startup, LanguageFileFollowsConfigIni) {
  struct Case {
    const char* config;  // null: no Config.ini
    const wchar_t* file;
  } cases[] = {
      {nullptr, L"Language\\English.ini"},
      {"[System]\r\nLanguage=\"SimpChinese\"\r\n", L"Language\\SimpChinese.ini"},
      {"[System]\r\nLanguage=Deutsch\r\n", L"Language\\Deutsch.ini"},
      {"[System]\r\nOutPut=\"C:\\x\"\r\n", L"Language\\English.ini"},
      {"[Video]\r\nLanguage=\"French\"\r\n", L"Language\\English.ini"},
      {"", L"Language\\English.ini"},
      {"[System]\r\nLanguage=\"\"\r\n", L"Language\\.ini"},
      {"[System]\r\nLanguage=\r\n", L"Language\\.ini"},
      {"[system]\r\nlanguage=\"Portugu\xEAs (Brasil)\"\r\n", L"Language\\Portugu\u00EAs (Brasil).ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config != nullptr ? c.config : "(no file)");
    CTempDir dir;
    if (c.config != nullptr) WriteBytes(dir.File(L"Config.ini"), c.config);
    EXPECT_EQ(ChooseLanguageFile(dir.FolderWithSeparator()), dir.FolderWithSeparator() + c.file);
  }
}

TEST(app_Startup, AFolderNamedConfigIniCountsAsNoFile) {
  CTempDir dir;
  std::filesystem::create_directory(std::filesystem::path(dir.Folder()) / "Config.ini");
  EXPECT_EQ(ChooseLanguageFile(dir.FolderWithSeparator()), dir.FolderWithSeparator() + L"Language\\English.ini");
}

}  // namespace
}  // namespace vantor
