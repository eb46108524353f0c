// CIni over the platform's profile functions: natively Vantor's engine, on Windows the
// system's own, so the same expectations hold the engine and the system to one rule.
#include <gtest/gtest.h>

#include <string>

#include "app/Ini.h"
#include "app/ProgramFolder.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "tests/app/TestFiles.h"

namespace vantor {
namespace {

using test::CTempDir;
using test::ReadBytes;
using test::WriteBytes;

class app_Ini : public ::testing::Test {
 protected:
  app_Ini() { m_ini.SetPath(m_strFile); }

  CTempDir m_dir;
  std::wstring m_strFile = m_dir.File(L"test.ini");
  CIni m_ini;
};

TEST_F(app_Ini, TextIsStoredBetweenQuotesAndReadBackWithout) {
  ASSERT_TRUE(m_ini.WriteString(L"k", L"abc", L"S"));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\nk=\"abc\"\r\n");
  EXPECT_EQ(m_ini.GetString(L"k", L"", L"S"), L"abc");

  // The quotes protect blanks at either end, and text that itself has quotes.
  for (const wchar_t* text : {L"  padded  ", L"\"quoted\"", L"", L"a=b", L"C:\\Program Files\\x"}) {
    ASSERT_TRUE(m_ini.WriteString(L"k", text, L"S"));
    EXPECT_EQ(m_ini.GetString(L"k", L"", L"S"), text);
  }
}

TEST_F(app_Ini, MissingKeysGiveTheDefault) {
  EXPECT_EQ(m_ini.GetString(L"k", L"dflt", L"S"), L"dflt");
  EXPECT_EQ(m_ini.GetString(L"k", nullptr, L"S"), L"");
  EXPECT_EQ(m_ini.GetUInt(L"k", 629, L"S"), 629u);
  EXPECT_EQ(m_ini.GetUInt(L"k", 4294967295u, L"S"), 4294967295u);
  EXPECT_EQ(m_ini.GetInt(L"k", -5, L"S"), -5);
  EXPECT_TRUE(m_ini.GetBool(L"k", 1, L"S"));
  EXPECT_FALSE(m_ini.GetBool(L"k", 0, L"S"));
  // Only the low byte of the default is passed on.
  EXPECT_FALSE(m_ini.GetBool(L"k", 256, L"S"));
  EXPECT_TRUE(m_ini.GetBool(L"k", 257, L"S"));
}

TEST_F(app_Ini, NumbersAreReadFromTheStartOfTheText) {
  struct Case {
    const char* stored;
    std::uint32_t nUInt;
    bool bBool;
  } cases[] = {
      {"k=2", 2, true},          {"k=0", 0, false},          {"k=abc", 0, false},
      {"k=", 0, false},          {"k=629", 629, true},       {"k=  +12abc", 12, true},
      {"k=-1", 4294967295u, true}, {"k=\" 7 \"", 7, true},   {"k=0x10", 0, false},
      {"k=4294967296", 0, false},  // beyond 32 bits: wraps, not detected
      {"k=1 2", 1, true},        {"k=--1", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    WriteBytes(m_strFile, std::string("[S]\r\n") + c.stored + "\r\n");
    EXPECT_EQ(m_ini.GetUInt(L"k", 99, L"S"), c.nUInt);
    EXPECT_EQ(m_ini.GetInt(L"k", 99, L"S"), static_cast<std::int32_t>(c.nUInt));
    EXPECT_EQ(m_ini.GetBool(L"k", 1, L"S"), c.bBool);
  }
}

TEST_F(app_Ini, NumbersAreWrittenBareInDecimal) {
  ASSERT_TRUE(m_ini.WriteInt(L"i", -7, L"S"));
  ASSERT_TRUE(m_ini.WriteUInt(L"u", 4294967295u, L"S"));
  ASSERT_TRUE(m_ini.WriteUInt(L"hot", 629, L"S"));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\ni=-7\r\nu=4294967295\r\nhot=629\r\n");
  EXPECT_EQ(m_ini.GetInt(L"i", 0, L"S"), -7);
  EXPECT_EQ(m_ini.GetUInt(L"u", 0, L"S"), 4294967295u);
}

TEST_F(app_Ini, AGivenSectionBecomesTheCurrentOne) {
  ASSERT_TRUE(m_ini.WriteInt(L"a", 1, L"First"));
  ASSERT_TRUE(m_ini.WriteInt(L"b", 2));  // still First
  EXPECT_EQ(m_ini.GetSection(), L"First");
  EXPECT_EQ(m_ini.GetInt(L"a", 0, L"Second"), 0);
  EXPECT_EQ(m_ini.GetSection(), L"Second");
  EXPECT_EQ(m_ini.GetInt(L"b", 0, L"First"), 2);
  EXPECT_EQ(ReadBytes(m_strFile), "[First]\r\na=1\r\nb=2\r\n");
}

TEST_F(app_Ini, TextLongerThan255CharactersIsCutWhenRead) {
  std::wstring text;
  for (int i = 0; i < 300; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
  ASSERT_TRUE(m_ini.WriteString(L"k", text.c_str(), L"S"));
  EXPECT_EQ(m_ini.GetString(L"k", L"", L"S"), text.substr(0, 255));
  // A long default is cut the same way.
  EXPECT_EQ(m_ini.GetString(L"missing", text.c_str(), L"S"), text.substr(0, 255));
}

TEST_F(app_Ini, WritesIntoAMissingFolderFailQuietly) {
  CIni ini;
  ini.SetPath(m_dir.File(L"nofolder\\test.ini"));
  EXPECT_FALSE(ini.WriteString(L"k", L"v", L"S"));
  EXPECT_EQ(ini.GetString(L"k", L"dflt", L"S"), L"dflt");
}

TEST_F(app_Ini, NullKeysNeitherListNorDelete) {
  ASSERT_TRUE(m_ini.WriteInt(L"a", 1, L"S"));
  EXPECT_FALSE(m_ini.WriteString(nullptr, L"x", L"S"));
  EXPECT_EQ(m_ini.GetString(nullptr, L"dflt", L"S"), L"dflt");
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\na=1\r\n");
}

TEST(app_IniPath, BareNamesLandInTheProgramFolder) {
  const std::wstring strFolder = GetProgramFolder();
  ASSERT_FALSE(strFolder.empty());
  struct Case {
    const wchar_t* path;
    std::wstring expected;
  } cases[] = {
      {L"Config.ini", strFolder + L"Config.ini"},
      {L"sub\\x.ini", strFolder + L"sub\\x.ini"},
      {L"C:\\Vantor\\Config.ini", L"C:\\Vantor\\Config.ini"},
      {L"d:x.ini", L"d:x.ini"},
      {L"\\\\server\\share\\x.ini", L"\\\\server\\share\\x.ini"},
      {L"/home/user/x.ini", L"/home/user/x.ini"},
  };
  for (const Case& c : cases) {
    CIni ini;
    ini.SetPath(c.path);
    EXPECT_EQ(ini.GetPath(), c.expected);
  }
}

TEST(app_IniPath, RelativeToTheCurrentDirectoryWhenAskedTo) {
  CTempDir dir;
  test::CCurrentDirScope cwd(dir.Folder());
  CIni ini;
  ini.SetRelativeToProgram(false);
  ini.SetPath(L"x.ini");
  ASSERT_TRUE(ini.WriteInt(L"k", 1, L"S"));
  EXPECT_EQ(ReadBytes(dir.File(L"x.ini")), "[S]\r\nk=1\r\n");
}

TEST(app_IniPath, DefaultsToTheProgramNameWithIniExtension) {
  const std::wstring strProgram = WideFromUtf8(GetProgramPath());
  const std::size_t nSep = strProgram.find_last_of(L"\\/");
  std::wstring strTitle = strProgram.substr(nSep + 1);
  const std::size_t nDot = strTitle.rfind(L'.');
  if (nDot != std::wstring::npos) strTitle.resize(nDot);

  const CIni ini;
  EXPECT_EQ(ini.GetPath(), strProgram.substr(0, nSep + 1) + strTitle + L".ini");
  EXPECT_EQ(ini.GetSection(), strTitle);
}

TEST(app_IniNumber, ParsesLikeTheRuntimeButWraps) {
  struct Case {
    const wchar_t* text;
    std::uint32_t n;
  } cases[] = {
      {L"", 0}, {L"   ", 0}, {L"-", 0}, {L"+", 0}, {L"x1", 0},
      {L"\t\r\n 42", 42}, {L"-42", static_cast<std::uint32_t>(-42)}, {L"+42", 42},
      {L"007", 7}, {L"12.5", 12}, {L"2147483648", 2147483648u}, {L"-2147483648", 2147483648u},
      {L"99999999999", static_cast<std::uint32_t>(99999999999ull)},
      {L"\u00A012", 0},  // only ASCII blanks are skipped
      {L"\uFF11", 0},    // and only ASCII digits count
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIniNumber(c.text), c.n);
}

}  // namespace
}  // namespace vantor
