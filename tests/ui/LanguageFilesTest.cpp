// The shipped language files: every key the program looks up has a text, in the
// encoding each file is kept in (English in the ANSI code page, Chinese in UTF-16 with
// a byte-order mark, both read by GetPrivateProfileStringW).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "app/IniEngine.h"
#include "platform/Text.h"
#include "ui/LanguageText.h"

namespace vantor {
namespace {

CIniDocument ReadLanguageFile(const char* pszName) {
  std::ifstream file(std::string(VANTOR_SOURCE_DIR) + "/Language/" + pszName, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return CIniDocument::Parse(bytes.str());
}

// Every key of the [String] section that the program reads.
std::vector<std::u16string> KeysTheProgramReads() {
  std::vector<std::u16string> keys;
  for (int nTemplate : {102, 278, 279, 280, 284}) keys.push_back(Utf16FromWide(DialogTitleLangKey(nTemplate)));
  for (int nIndex = 0; nIndex < 16; ++nIndex) {
    if (const wchar_t* pszKey = ControlLangKey(nIndex)) keys.push_back(Utf16FromWide(pszKey));
  }
  for (const char16_t* key : {u"Video", u"Audio", u"HotKey", u"System", u"Record", u"Pause", u"Stop", u"Quit",
                              u"FullScreen", u"RestartVantor"}) {
    keys.push_back(key);
  }
  return keys;
}

std::wstring Text(const CIniDocument& doc, const char16_t* key) {
  const std::u16string* value = doc.FindValue(u"String", key);
  return value ? WideFromUtf16(*value) : L"(missing)";
}

TEST(ui_LanguageFiles, EveryKeyHasAText) {
  for (const char* name : {"English.ini", "SimpChinese.ini"}) {
    const CIniDocument doc = ReadLanguageFile(name);
    for (const std::u16string& key : KeysTheProgramReads()) {
      const std::u16string* value = doc.FindValue(u"String", key);
      ASSERT_NE(value, nullptr) << name << ": " << std::string(key.begin(), key.end());
      EXPECT_FALSE(value->empty()) << name << ": " << std::string(key.begin(), key.end());
      EXPECT_LE(value->size(), kLangTextChars);
    }
  }
}

TEST(ui_LanguageFiles, EncodingsAndTexts) {
  const CIniDocument english = ReadLanguageFile("English.ini");
  EXPECT_EQ(english.GetEncoding(), IniEncoding::kAnsi);
  EXPECT_EQ(Text(english, u"Record"), L"Record");
  EXPECT_EQ(Text(english, u"HotKey"), L"Hotkeys");
  const CIniDocument chinese = ReadLanguageFile("SimpChinese.ini");
  EXPECT_EQ(chinese.GetEncoding(), IniEncoding::kUtf16Le);
  EXPECT_EQ(Text(chinese, u"Record"), L"录像");
  EXPECT_EQ(Text(chinese, u"Quit"), L"退出");
  // The main window's text is the title the dialog sets for the language (it shows in
  // the taskbar): the language file must not replace it with another.
  EXPECT_EQ(Text(english, u"IDD102_Title"), L"Vantor 1.0 Beta1");
  EXPECT_EQ(Text(chinese, u"IDD102_Title"), L"Vantor-免费屏幕录像软件 1.0 Beta1");
  // The restart message is shown on two lines.
  for (const CIniDocument* doc : {&english, &chinese}) {
    const std::wstring strRestart = ExpandLangLineBreaks(Text(*doc, u"RestartVantor"));
    EXPECT_NE(strRestart.find(L'\n'), std::wstring::npos);
    EXPECT_NE(strRestart.find(L"Vantor"), std::wstring::npos);
  }
}

}  // namespace
}  // namespace vantor
