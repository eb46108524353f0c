// The language texts' rules: the control key table, the 999-character cut, "\n" and
// the widths controls get for their new texts.
#include <gtest/gtest.h>

#include <string>

#include "ui/LanguageText.h"

namespace vantor {
namespace {

std::wstring KeyOf(int nId) {
  const wchar_t* pszKey = ControlLangKey(nId);
  return pszKey ? pszKey : L"(none)";
}

TEST(ui_LanguageText, ControlsOfEveryDialogFindTheirKeys) {
  struct Case {
    int nId;
    const wchar_t* key;
  } cases[] = {
      // Main dialog: Record, Pause, Stop, Help and the tab control.
      {1213, L"Record"},
      {1008, L"Pause"},
      {1006, L"Stop"},
      {1009, L"Help"},
      {4001, L"FrameRate"},
      // Video, audio and system pages.
      {1201, L"FrameRate"},
      {1004, L"OutputFolder"},
      {1005, L"AudioCaptureDevice"},
      {1015, L"RecordWin7Sound"},
      {1202, L"WindowAlwaysOnTop"},
      {1214, L"Language"},
      // Hotkey page: three labels and two of the hotkey controls.
      {1210, L"Record"},
      {1211, L"Pause"},
      {1212, L"Stop"},
      {1208, L"Pause"},
      {1209, L"Help"},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyOf(c.nId), c.key) << c.nId;
}

TEST(ui_LanguageText, EmptyEntriesHighIndexesAndLabelsWithoutIdGetNoKey) {
  for (int nId : {0, 3, 7, 1200, 1203, 1207, 1016, 1017, 1073, 1074, 1099, 1122, 1217, 16, 99, -1, -1201, -100}) {
    EXPECT_EQ(ControlLangKey(nId), nullptr) << nId;
  }
  EXPECT_EQ(KeyOf(15), L"RecordWin7Sound");
  EXPECT_EQ(KeyOf(1), L"FrameRate");
  EXPECT_EQ(KeyOf(65501), L"FrameRate");
}

TEST(ui_LanguageText, TitleKeyNamesTheTemplate) {
  EXPECT_EQ(DialogTitleLangKey(102), L"IDD102_Title");
  EXPECT_EQ(DialogTitleLangKey(284), L"IDD284_Title");
}

TEST(ui_LanguageText, TextsAreCutTo999Characters) {
  EXPECT_EQ(CutLangText(L""), L"");
  EXPECT_EQ(CutLangText(std::wstring(999, L'x')), std::wstring(999, L'x'));
  EXPECT_EQ(CutLangText(std::wstring(1000, L'x')), std::wstring(999, L'x'));
  std::wstring strLong = std::wstring(998, L'a') + L"bcdef";
  EXPECT_EQ(CutLangText(strLong), std::wstring(998, L'a') + L"b");
  // A surrogate pair across the cut is left out whole, not halved.
  const std::wstring strPair = std::wstring(998, L'a') + L"\xD83D\xDE00" + L"z";
  EXPECT_EQ(CutLangText(strPair), std::wstring(998, L'a'));
  const std::wstring strPairInside = std::wstring(997, L'a') + L"\xD83D\xDE00" + L"z";
  EXPECT_EQ(CutLangText(strPairInside), std::wstring(997, L'a') + L"\xD83D\xDE00");
}

TEST(ui_LanguageText, BackslashNBecomesALineFeed) {
  EXPECT_EQ(ExpandLangLineBreaks(L"Restart.\\nPlease restart Vantor."), L"Restart.\nPlease restart Vantor.");
  EXPECT_EQ(ExpandLangLineBreaks(L"\\n\\n"), L"\n\n");
  EXPECT_EQ(ExpandLangLineBreaks(L"a\\\\nb"), L"a\\\nb");  // left to right: the second backslash pairs
  EXPECT_EQ(ExpandLangLineBreaks(L"\\N \\t n\\"), L"\\N \\t n\\");
  EXPECT_EQ(ExpandLangLineBreaks(L"no breaks"), L"no breaks");
  EXPECT_EQ(ExpandLangLineBreaks(L""), L"");
}

TEST(ui_LanguageText, LabelsTakeTheTextWidthOtherControlsOnlyGrow) {
  // Labels: narrower and wider, in any case of the class name.
  EXPECT_EQ(LocalizedControlWidth(L"Static", 120, 40), 40);
  EXPECT_EQ(LocalizedControlWidth(L"STATIC", 40, 120), 120);
  EXPECT_EQ(LocalizedControlWidth(L"static", 50, 50), 50);
  // Check boxes, buttons, hotkey and tab controls.
  EXPECT_EQ(LocalizedControlWidth(L"Button", 120, 40), std::nullopt);
  EXPECT_EQ(LocalizedControlWidth(L"Button", 120, 120), std::nullopt);
  EXPECT_EQ(LocalizedControlWidth(L"Button", 40, 120), 120);
  EXPECT_EQ(LocalizedControlWidth(L"msctls_hotkey32", 80, 81), 81);
  EXPECT_EQ(LocalizedControlWidth(L"SysTabControl32", 400, 60), std::nullopt);
  // Only the whole name counts.
  EXPECT_EQ(LocalizedControlWidth(L"StaticEx", 120, 40), std::nullopt);
  EXPECT_EQ(LocalizedControlWidth(L"Stati", 120, 40), std::nullopt);
  EXPECT_EQ(LocalizedControlWidth(L"", 120, 40), std::nullopt);
}

}  // namespace
}  // namespace vantor
