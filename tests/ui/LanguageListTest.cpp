// The system page's language list: which entries of the Language folder become rows,
// the titles they show, and which row is the language in use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/LanguageList.h"

namespace vantor {
namespace {

TEST(ui_LanguageList, TitlesLoseFolderAndLastExtension) {
  const struct {
    const wchar_t* path;
    const wchar_t* title;
  } cases[] = {
      {L"C:\\Vantor\\Language\\English.ini", L"English"},
      {L"Z:\\tmp\\prog\\Language\\SimpChinese.ini", L"SimpChinese"},
      {L"Old.English.ini", L"Old.English"},
      {L"Readme", L"Readme"},
      {L"C:\\dir.with.dots\\Notes", L"Notes"},
      {L"/home/u/Language/Deutsch.ini", L"Deutsch"},
      // A language file that is not there yet: the path ends in the name alone.
      {L"C:\\Vantor\\Language\\.ini", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(FileTitle(c.path), c.title) << c.path;
}

TEST(ui_LanguageList, FilesBecomeRowsFoldersDoNot) {
  const std::vector<FolderEntry> listing = {
      {L".", true},
      {L"..", true},
      {L"English.ini", false},
      {L"Skins", true},
      {L"Folder.ini", true},
      {L"Aardvark.txt", false},
      {L"SimpChinese.ini", false},
  };
  const std::vector<std::wstring> expected = {L"English", L"Aardvark", L"SimpChinese"};
  EXPECT_EQ(LanguageRows(listing), expected);
  EXPECT_TRUE(LanguageRows({}).empty());
}

TEST(ui_LanguageList, TheLanguageInUseIsFoundExactly) {
  const std::vector<std::wstring> rows = {L"Aardvark", L"English", L"english", L"SimpChinese"};
  EXPECT_EQ(FindLanguageRow(rows, L"English"), 1);
  EXPECT_EQ(FindLanguageRow(rows, L"english"), 2);
  EXPECT_EQ(FindLanguageRow(rows, L"ENGLISH"), -1);
  EXPECT_EQ(FindLanguageRow(rows, L"Engl"), -1);
  EXPECT_EQ(FindLanguageRow(rows, L""), -1);
  EXPECT_EQ(FindLanguageRow({}, L"English"), -1);
}

}  // namespace
}  // namespace vantor
