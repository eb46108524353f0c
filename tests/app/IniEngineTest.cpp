// The INI engine against the file bytes and results the Windows profile functions give
// (as observed under Wine 8). The Wine test runs the same kind of sequences against the
// real functions; these pin the rules natively, where there is nothing to compare with.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/IniEngine.h"
#include "tests/app/TestFiles.h"

namespace vantor {
namespace {

using namespace std::string_view_literals;
using test::CTempDir;
using test::ReadBytes;
using test::WriteBytes;

struct ReadResult {
  std::uint32_t nReturned;
  std::u16string text;
};

ReadResult Get(const std::wstring& strPath, std::u16string_view section, std::u16string_view key,
               std::u16string_view def, std::uint32_t nSize = 256) {
  std::vector<char16_t> buf(nSize + 1, u'#');
  const std::uint32_t n = IniGetString(section, key, def, buf.data(), nSize, strPath);
  std::u16string text;
  if (nSize > 0) text = std::u16string(buf.data());
  return {n, text};
}

std::u16string Value(const std::wstring& strPath, std::u16string_view section, std::u16string_view key,
                     std::u16string_view def = u"<default>") {
  return Get(strPath, section, key, def).text;
}

class app_IniEngine : public ::testing::Test {
 protected:
  CTempDir m_dir;
  std::wstring m_strFile = m_dir.File(L"test.ini");
};

TEST_F(app_IniEngine, NewFileGetsSectionsAndKeysInWriteOrderWithoutBlankLines) {
  ASSERT_TRUE(IniWriteString(u"System", u"Language", u"\"\"", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[System]\r\nLanguage=\"\"\r\n");
  ASSERT_TRUE(IniWriteString(u"System", u"OutPut", u"\"C:\\x\\output\"", m_strFile));
  ASSERT_TRUE(IniWriteString(u"Video", u"Zoom", u"1", m_strFile));
  // A key of an earlier section goes to the end of that section, not of the file.
  ASSERT_TRUE(IniWriteString(u"System", u"FPS", u"1", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile),
            "[System]\r\nLanguage=\"\"\r\nOutPut=\"C:\\x\\output\"\r\nFPS=1\r\n"
            "[Video]\r\nZoom=1\r\n");
}

TEST_F(app_IniEngine, ReplacesValueInPlaceMatchingNamesWithoutAsciiCase) {
  WriteBytes(m_strFile, "[System]\r\nWndTop=1\r\nFPS=1\r\n[Video]\r\nZoom=1\r\n");
  ASSERT_TRUE(IniWriteString(u"system", u"WNDTOP", u"0", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[System]\r\nWndTop=0\r\nFPS=1\r\n[Video]\r\nZoom=1\r\n");
  EXPECT_EQ(Value(m_strFile, u"SYSTEM", u"wndtop"), u"0");
}

TEST_F(app_IniEngine, NonAsciiLettersAreMatchedExactly) {
  WriteBytes(m_strFile, "[\xC9t\xE9]\r\nK\xC9Y=1\r\n");  // [Été] KÉY=1 in code page 1252
  EXPECT_EQ(Value(m_strFile, u"\u00C9t\u00E9", u"K\u00C9Y"), u"1");
  EXPECT_EQ(Value(m_strFile, u"\u00E9T\u00C9", u"k\u00E9y"), u"<default>");
  EXPECT_EQ(Value(m_strFile, u"\u00C9T\u00E9", u"k\u00C9y"), u"1");
}

TEST_F(app_IniEngine, WriteOfAnEqualValueLeavesTheFileAsItWas) {
  const std::string hand = "[S]\r\n  WndTop =  1  \r\n\r\n\r\n[T]\r\n";
  WriteBytes(m_strFile, hand);
  ASSERT_TRUE(IniWriteString(u"S", u"WndTop", u"1", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), hand);
  // Any real change rewrites the whole file in normal form.
  ASSERT_TRUE(IniWriteString(u"S", u"WndTop", u"2", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\nWndTop=2\r\n[T]\r\n");
}

TEST_F(app_IniEngine, RewriteNormalisesEveryLine) {
  WriteBytes(m_strFile,
             "junk=1\r\n\r\n[ Sec ]\r\n  key  =  value  \r\nnoeq\r\n=x\r\n=y\r\n;comment=3\r\n"
             "dup=1\r\ndup=2\r\n[Sec]\r\ndup2=9\r\n[abc\r\n[a]b]\r\nk=1\r\n[c] junk\r\nk=2\r\n"
             "\rlone=cr\rnext=1\r\n\tlast=nolf\x1A");
  ASSERT_TRUE(IniWriteString(u"Sec", u"noeq", u"now", m_strFile));
  ASSERT_TRUE(IniWriteString(u"Sec", u"dup2", u"new", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile),
            "junk=1\r\n[Sec]\r\nkey=value\r\nnoeq=now\r\n=x\r\n;comment=3\r\ndup=1\r\ndup=2\r\n"
            "dup2=new\r\n[Sec]\r\ndup2=9\r\n[abc\r\n[a]b]\r\nk=1\r\n[c]\r\nk=2\r\nlone=cr\r\n"
            "next=1\r\nlast=nolf\r\n");
}

TEST_F(app_IniEngine, ReadingRules) {
  WriteBytes(m_strFile,
             "top=0\r\n[ Sec ]\r\n  key  =  value  \r\nnoeq\r\n=x\r\n;c=3\r\n"
             "q1=\"abc\"\r\nq2='abc'\r\nq3=\"abc\r\nq4=\"\r\nq5=\"\"\r\nq6=\"a\"b\"\r\n"
             "q7=\"abc\"  \r\nq8=\"abc'\r\nq9=  \"  x  \"  \r\nq10=''\r\nq11=\"\"\"\r\n"
             "dup=1\r\ndup=2\r\nnul=a\0b\r\nnbsp=\xA0x\xA0\r\n[Sec]\r\ndup2=9\r\n[abc\r\n"
             "[a]b]\r\nk=1\r\n[c] junk\r\nk=2\r\n\rlone=cr\rnext=1\r\nlast=nolf"sv);
  struct Case {
    const char16_t* section;
    const char16_t* key;
    const char16_t* expected;
  } cases[] = {
      {u"", u"top", u"0"},          // lines before the first header
      {u"  ", u"top", u"0"},
      {u"Sec", u"key", u"value"},   // blanks around names and values go
      {u" Sec ", u" key ", u"value"},
      {u"Sec", u"noeq", u"<default>"},  // a line without '=' has no value
      {u"Sec", u"", u"x"},          // the nameless key
      {u"Sec", u";c", u"3"},        // comments are ordinary keys to a lookup
      {u"Sec", u"q1", u"abc"},
      {u"Sec", u"q2", u"abc"},
      {u"Sec", u"q3", u"\"abc"},
      {u"Sec", u"q4", u"\""},
      {u"Sec", u"q5", u""},
      {u"Sec", u"q6", u"a\"b"},
      {u"Sec", u"q7", u"abc"},
      {u"Sec", u"q8", u"\"abc'"},
      {u"Sec", u"q9", u"  x  "},
      {u"Sec", u"q10", u""},
      {u"Sec", u"q11", u"\""},
      {u"Sec", u"dup", u"1"},       // first key wins
      {u"Sec", u"dup2", u"<default>"},  // only the first section of a name is searched
      {u"Sec", u"nul", u"a"},       // a zero ends the value
      {u"Sec", u"nbsp", u"\u00A0x\u00A0"},  // no-break spaces are not blanks
      {u"Sec", u"[abc", u"<default>"},
      {u"a]b", u"k", u"1"},         // the last ']' closes the name
      {u"c", u"k", u"2"},           // text after it is ignored
      {u"c", u"lone", u"cr"},       // a lone CR ends a line
      {u"c", u"next", u"1"},
      {u"c", u"last", u"nolf"},
      {u"nosuch", u"k", u"<default>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section, c.section + std::char_traits<char16_t>::length(c.section)) + "/" +
                 std::string(c.key, c.key + std::char_traits<char16_t>::length(c.key)));
    EXPECT_EQ(Value(m_strFile, c.section, c.key), c.expected);
  }
}

TEST_F(app_IniEngine, NamelessLinesInARowCollapse) {
  WriteBytes(m_strFile, "[S]\r\n=x\r\n=y\r\na=1\r\n=z\r\n");
  ASSERT_TRUE(IniWriteString(u"S", u"b", u"2", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\n=x\r\na=1\r\n=z\r\nb=2\r\n");
}

TEST_F(app_IniEngine, WrittenValuesLoseLeadingBlanksAndKeepTrailingOnesUntilReread) {
  ASSERT_TRUE(IniWriteString(u"S", u"a", u" \t lead", m_strFile));
  ASSERT_TRUE(IniWriteString(u"S", u"b", u"trail  ", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\na=lead\r\nb=trail  \r\n");
  EXPECT_EQ(Value(m_strFile, u"S", u"b"), u"trail");
  ASSERT_TRUE(IniWriteString(u"  T  ", u"  f  ", u"   ", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\na=lead\r\nb=trail\r\n[T  ]\r\nf  =\r\n");
  EXPECT_EQ(Value(m_strFile, u"T", u"f"), u"");
}

TEST_F(app_IniEngine, QuotedValuesKeepTheirBlanks) {
  ASSERT_TRUE(IniWriteString(u"S", u"k", u"\"  both  \"", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\nk=\"  both  \"\r\n");
  EXPECT_EQ(Value(m_strFile, u"S", u"k"), u"  both  ");
}

TEST_F(app_IniEngine, ValuesWithLineBreaksOrEqualSignsSplitWhenReadAgain) {
  ASSERT_TRUE(IniWriteString(u"S", u"a=b", u"c", m_strFile));
  ASSERT_TRUE(IniWriteString(u"S", u"nl", u"x\r\ny=2", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\na=b=c\r\nnl=x\r\ny=2\r\n");
  EXPECT_EQ(Value(m_strFile, u"S", u"a"), u"b=c");
  EXPECT_EQ(Value(m_strFile, u"S", u"y"), u"2");
}

TEST_F(app_IniEngine, EmptySectionNameMeansTheTopOfTheFile) {
  ASSERT_TRUE(IniWriteString(u"S", u"k", u"1", m_strFile));
  ASSERT_TRUE(IniWriteString(u"", u"top", u"1", m_strFile));
  ASSERT_TRUE(IniWriteString(u"S", u"", u"e", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "top=1\r\n[S]\r\nk=1\r\n=e\r\n");
}

TEST_F(app_IniEngine, LongValuesAreCutToTheBuffer) {
  std::u16string text;
  for (int i = 0; i < 300; ++i) text += static_cast<char16_t>(u'A' + i % 26);
  ASSERT_TRUE(IniWriteString(u"S", u"quoted", u"\"" + text + u"\"", m_strFile));
  ASSERT_TRUE(IniWriteString(u"S", u"bare", text, m_strFile));
  struct Case {
    const char16_t* key;
    std::uint32_t nSize;
    std::size_t nExpected;
  } cases[] = {
      {u"quoted", 256, 255}, {u"bare", 256, 255},
      {u"quoted", 302, 300},
      // One short of the unquoted text: the closing quote is not copied, yet a
      // character is still taken off for it.
      {u"quoted", 301, 299},
      {u"quoted", 1, 0}, {u"bare", 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nSize);
    const ReadResult r = Get(m_strFile, u"S", c.key, u"", c.nSize);
    EXPECT_EQ(r.nReturned, c.nExpected);
    EXPECT_EQ(r.text, text.substr(0, c.nExpected));
  }
  std::vector<char16_t> untouched(4, u'#');
  EXPECT_EQ(IniGetString(u"S", u"bare", u"", untouched.data(), 0, m_strFile), 0u);
  EXPECT_EQ(untouched[0], u'#');
}

TEST_F(app_IniEngine, DefaultsLoseTrailingSpacesAndQuotesUnlessTheFileCannotBeOpened) {
  const std::wstring strMissingFile = m_dir.File(L"missing.ini");
  const std::wstring strMissingFolder = m_dir.File(L"nofolder\\x.ini");
  struct Case {
    const char16_t* def;
    const char16_t* expectedMissingFile;
    const char16_t* expectedMissingFolder;
  } cases[] = {
      {u"\"q\"", u"q", u"\"q\""},
      {u"'q'", u"q", u"'q'"},
      {u"x  ", u"x", u"x"},
      {u"  x  ", u"  x", u"  x"},
      {u"   ", u" ", u" "},      // the first character always stays
      {u"x\t", u"x\t", u"x\t"},  // spaces only
      {u"\"q\"  ", u"q", u"\"q\""},
      {u"", u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Value(strMissingFile, u"S", u"k", c.def), c.expectedMissingFile);
    EXPECT_EQ(Value(strMissingFolder, u"S", u"k", c.def), c.expectedMissingFolder);
  }
  EXPECT_EQ(ReadBytes(strMissingFile), "<missing>");  // reading creates nothing
}

TEST_F(app_IniEngine, WritesFailWhereTheFileCannotBeOpened) {
  EXPECT_FALSE(IniWriteString(u"S", u"k", u"1", m_dir.File(L"nofolder\\x.ini")));
  // A folder in the file's place: nothing to read, nothing written.
  EXPECT_FALSE(IniWriteString(u"S", u"k", u"1", m_dir.Folder()));
  EXPECT_EQ(Value(m_dir.Folder(), u"S", u"k", u"\"q\""), u"\"q\"");
}

TEST_F(app_IniEngine, EmptyFileIsWrittenInTheAnsiCodePage) {
  WriteBytes(m_strFile, "");
  EXPECT_EQ(Value(m_strFile, u"S", u"k", u"\"d\""), u"d");
  ASSERT_TRUE(IniWriteString(u"S", u"k", u"\u00E9\u20AC\u0100\u4E2D", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile), "[S]\r\nk=\xE9\x80" "A?\r\n");
}

TEST_F(app_IniEngine, Utf16FileStaysUtf16) {
  const std::u16string text = u"\uFEFF[System]\r\nLanguage=\"SimpChinese\"\r\n";
  WriteBytes(m_strFile, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  EXPECT_EQ(Value(m_strFile, u"System", u"Language"), u"SimpChinese");
  ASSERT_TRUE(IniWriteString(u"System", u"OutPut", u"\"C:\\\u4E2D\"", m_strFile));
  const std::u16string expected = u"\uFEFF[System]\r\nLanguage=\"SimpChinese\"\r\nOutPut=\"C:\\\u4E2D\"\r\n";
  std::string expectedBytes;
  for (char16_t c : expected) expectedBytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  EXPECT_EQ(ReadBytes(m_strFile), expectedBytes);
  EXPECT_EQ(Value(m_strFile, u"System", u"OutPut"), u"C:\\\u4E2D");
}

TEST_F(app_IniEngine, ByteOrderMarksChooseTheEncoding) {
  struct Case {
    std::string initial;
    std::string expected;  // after writing k2=\u00E9
  } cases[] = {
      {"\xFF\xFE", std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0" "2\0=\0\xE9\0\r\0\n\0", 24)},
      {std::string("\xFE\xFF\0[\0S\0]", 8),
       std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0" "2\0=\0\xE9\0\r\0\n", 24)},
      {"\xEF\xBB\xBF[S]", "\xEF\xBB\xBF[S]\r\nk2=\xC3\xA9\r\n"},
      {"\xFF", "\xFF\r\n[S]\r\nk2=\xE9\r\n"},  // one byte is too short for a mark
  };
  for (const Case& c : cases) {
    WriteBytes(m_strFile, c.initial);
    ASSERT_TRUE(IniWriteString(u"S", u"k2", u"\u00E9", m_strFile));
    EXPECT_EQ(ReadBytes(m_strFile), c.expected);
    EXPECT_EQ(Value(m_strFile, u"S", u"k2"), u"\u00E9");
  }
}

TEST_F(app_IniEngine, Utf8FileReadsAndWritesAsWindowsDoes) {
  WriteBytes(m_strFile, "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xFFz\r\n");
  EXPECT_EQ(Value(m_strFile, u"S", u"k"), u"\u00E9\u4E2D\U0001F600\uFFFDz");
  ASSERT_TRUE(IniWriteString(u"S", u"n", u"\u00E9\xD800x", m_strFile));
  EXPECT_EQ(ReadBytes(m_strFile),
            "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xEF\xBF\xBDz\r\nn=\xC3\xA9\xEF\xBF\xBDx\r\n");
}

TEST(app_IniDocument, SetValueReportsWhetherAnythingChanged) {
  CIniDocument doc = CIniDocument::Parse("[S]\r\nk=1\r\nbare\r\n");
  EXPECT_FALSE(doc.SetValue(u"s", u"K", u"  1"));
  EXPECT_TRUE(doc.SetValue(u"S", u"k", u"2"));
  EXPECT_TRUE(doc.SetValue(u"S", u"bare", u""));  // a line without '=' gains one
  EXPECT_FALSE(doc.SetValue(u"S", u"bare", u""));
  EXPECT_EQ(doc.Serialize(), "[S]\r\nk=2\r\nbare=\r\n");
  ASSERT_NE(doc.FindValue(u"S", u"bare"), nullptr);
  EXPECT_EQ(*doc.FindValue(u"S", u"bare"), u"");
}

// Random files built from the characters that matter to the format. The normal form a
// rewrite produces must read back as itself, with two exceptions Windows shares: zeros
// (a nameless line's length is tested before the zero cuts it, so what collapses can
// change) and an ANSI file whose first line, once its blanks are trimmed, starts with
// the bytes of a byte-order mark (it reads as that encoding next time). Otherwise a value
// just written must read back unchanged.
TEST(app_IniDocument, RandomFilesKeepTheirNormalFormAndTakeWrites) {
  const char* const pieces[] = {"[", "]", "=", "\r", "\n", "\r\n", " ", "\t", "\"", "'", ";", "\x1A",
                                "S", "k", "K", "v", "\xE9", "\xC3\xA9", "\xFF\xFE", "\xEF\xBB\xBF",
                                "\xF0\x9F", "\xA0", "[S]", "k=1", "=x"};
  std::mt19937 rng(7);
  for (int nFile = 0; nFile < 2000; ++nFile) {
    std::string bytes;
    const int nPieces = static_cast<int>(rng() % 40);
    for (int i = 0; i < nPieces; ++i) bytes += pieces[rng() % std::size(pieces)];
    if (rng() % 8 == 0) bytes.insert(rng() % (bytes.size() + 1), 1, '\0');
    SCOPED_TRACE(testing::PrintToString(bytes));

    CIniDocument doc = CIniDocument::Parse(bytes);
    const std::string normal = doc.Serialize();
    const CIniDocument again = CIniDocument::Parse(normal);
    if (bytes.find('\0') == std::string::npos && again.GetEncoding() == doc.GetEncoding()) {
      EXPECT_EQ(again.Serialize(), normal);
    }
    doc.SetValue(u"S", u"k", u"\"v 1\"");
    const CIniDocument reread = CIniDocument::Parse(doc.Serialize());
    if (reread.GetEncoding() != doc.GetEncoding()) continue;
    ASSERT_NE(reread.FindValue(u"S", u"k"), nullptr);
    EXPECT_EQ(*reread.FindValue(u"S", u"k"), u"\"v 1\"");
    if (HasFailure()) return;
  }
}

TEST(app_IniDocument, MissingFileReadsAsAnEmptyAnsiDocument) {
  const CIniDocument doc;
  EXPECT_EQ(doc.GetEncoding(), IniEncoding::kAnsi);
  EXPECT_EQ(doc.Serialize(), "");
  EXPECT_EQ(doc.FindValue(u"", u""), nullptr);
}

}  // namespace
}  // namespace vantor
