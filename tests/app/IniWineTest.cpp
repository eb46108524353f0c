// Vantor's INI engine held against the system's profile functions: the same writes and
// reads go through WritePrivateProfileStringW / GetPrivateProfileStringW on one file
// and through the engine on a twin, and every result and every file byte must agree.
// The engine's code page 1252 is compared with the system's converter as well (UTF-8
// in tests/platform).
// Windows only (run under Wine on the build machine).
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/IniEngine.h"
#include "app/TextCodec.h"
#include "tests/app/TestFiles.h"

namespace vantor {
namespace {

using test::CTempDir;
using test::ReadBytes;
using test::WriteBytes;

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

struct Op {
  enum Kind { kWrite, kRead } kind;
  std::wstring section, key, text;  // text: the value written, or the default read
  std::uint32_t nSize = 256;
};

Op W(std::wstring section, std::wstring key, std::wstring value) {
  return Op{Op::kWrite, std::move(section), std::move(key), std::move(value)};
}
Op R(std::wstring section, std::wstring key, std::wstring def = L"<d>", std::uint32_t nSize = 256) {
  return Op{Op::kRead, std::move(section), std::move(key), std::move(def), nSize};
}

struct Scenario {
  const char* name;
  const char* initial;  // null: no file
  std::size_t nInitialBytes;
  std::vector<Op> ops;
};

std::string Printable(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[12];
      snprintf(buf, sizeof(buf), "<%04X>", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

// Runs the operations on two files, one through each implementation, comparing as it
// goes. Paths are given whole so that failure cases (missing folder, a folder in the
// file's place) can be run too.
void RunTwins(const std::wstring& strSystemFile, const std::wstring& strEngineFile, const std::vector<Op>& ops) {
  for (std::size_t i = 0; i < ops.size(); ++i) {
    const Op& op = ops[i];
    SCOPED_TRACE("op " + std::to_string(i) + (op.kind == Op::kWrite ? " write [" : " read [") +
                 Printable(op.section) + "] " + Printable(op.key) + " = " + Printable(op.text) + " size " +
                 std::to_string(op.nSize));
    if (op.kind == Op::kWrite) {
      const bool bSystem =
          ::WritePrivateProfileStringW(op.section.c_str(), op.key.c_str(), op.text.c_str(), strSystemFile.c_str()) != 0;
      const bool bEngine = IniWriteString(U16(op.section), U16(op.key), U16(op.text), strEngineFile);
      EXPECT_EQ(bEngine, bSystem);
      ASSERT_EQ(ReadBytes(strEngineFile), ReadBytes(strSystemFile));
    } else {
      std::vector<wchar_t> systemBuf(op.nSize + 1, L'#');
      std::vector<char16_t> engineBuf(op.nSize + 1, u'#');
      const DWORD nSystem = ::GetPrivateProfileStringW(op.section.c_str(), op.key.c_str(), op.text.c_str(),
                                                       systemBuf.data(), op.nSize, strSystemFile.c_str());
      const std::uint32_t nEngine =
          IniGetString(U16(op.section), U16(op.key), U16(op.text), engineBuf.data(), op.nSize, strEngineFile);
      EXPECT_EQ(nEngine, nSystem);
      EXPECT_EQ(Printable(std::wstring(engineBuf.begin(), engineBuf.begin() + op.nSize)),
                Printable(std::wstring(systemBuf.begin(), systemBuf.begin() + op.nSize)));
    }
  }
}

class app_IniWine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::GetACP() != 1252) GTEST_SKIP() << "the engine models code page 1252; this system uses " << ::GetACP();
  }

  void Run(const Scenario& s) {
    SCOPED_TRACE(s.name);
    const std::wstring strSystem = m_dir.File(L"sys" + std::to_wstring(m_nFile) + L".ini");
    const std::wstring strEngine = m_dir.File(L"eng" + std::to_wstring(m_nFile) + L".ini");
    ++m_nFile;
    if (s.initial != nullptr) {
      WriteBytes(strSystem, std::string_view(s.initial, s.nInitialBytes));
      WriteBytes(strEngine, std::string_view(s.initial, s.nInitialBytes));
    }
    RunTwins(strSystem, strEngine, s.ops);
  }

  CTempDir m_dir;
  int m_nFile = 0;
};

#define FILE_BYTES(literal) literal, sizeof(literal) - 1

std::wstring Letters(int n) {
  std::wstring s;
  for (int i = 0; i < n; ++i) s += static_cast<wchar_t>(L'A' + i % 26);
  return s;
}

TEST_F(app_IniWine, SettingsSequenceOnANewFile) {
  Run({"first run", nullptr, 0,
       {R(L"System", L"Language", L""), R(L"System", L"OutPut", L"C:\\work\\output"),
        W(L"System", L"Language", L"\"\""), W(L"System", L"OutPut", L"\"C:\\work\\output\""),
        W(L"System", L"WndTop", L"1"), W(L"System", L"FPS", L"1"), W(L"System", L"ShowTime", L"1"),
        W(L"Video", L"FrameRate", L"\"\""), W(L"Video", L"Zoom", L"1"), W(L"Audio", L"UseRec", L"1"),
        W(L"Audio", L"RecWin7", L"0"), W(L"Audio", L"RecDevice", L"1"), W(L"HotKey", L"KeyRecord", L"117"),
        W(L"HotKey", L"KeyPause", L"118"), W(L"HotKey", L"KeyStop", L"119"),
        R(L"System", L"Language", L""), R(L"HotKey", L"KeyStop", L"0"),
        W(L"System", L"Language", L"\"English\""), W(L"HotKey", L"KeyRecord", L"629"),
        W(L"HotKey", L"KeyRecord", L"629")}});
}

TEST_F(app_IniWine, ReplacingAndAppending) {
  Run({"replace in place", FILE_BYTES("[System]\r\nWndTop=1\r\nFPS=1\r\n[Video]\r\nZoom=1\r\n"),
       {W(L"system", L"WNDTOP", L"0"), W(L"System", L"New", L"x"), W(L"Audio", L"UseRec", L"1"),
        W(L"Video", L"FrameRate", L"\"15.0 fps\""), W(L"  Extra  ", L"  k  ", L"v"), W(L"Extra", L"k", L"w"),
        R(L"Video", L"framerate"), R(L"Extra", L"K")}});
  Run({"no change keeps hand layout", FILE_BYTES("[S]\r\n  WndTop =  1  \r\n\r\n\r\n[T]\r\n"),
       {W(L"S", L"WndTop", L"1"), W(L"S", L"WndTop", L"  1"), W(L"S", L"WndTop", L"2")}});
  Run({"nameless lines", FILE_BYTES("[S]\r\n=x\r\n=y\r\na=1\r\n=z\r\n"),
       {R(L"S", L""), W(L"S", L"b", L"2"), W(L"S", L"", L"e"), W(L"", L"top", L"1"), W(L"  ", L"top2", L"2"),
        R(L" ", L"top2")}});
  Run({"odd values", nullptr, 0,
       {W(L"S", L"a=b", L"c"), W(L"S", L"nl", L"x\r\ny=2"), R(L"S", L"a"), R(L"S", L"y"),
        W(L"S", L"[n]", L"1"), W(L"S", L"k", L"]"), R(L"S", L"[n]")}});
}

TEST_F(app_IniWine, QuotesAndBlanks) {
  Run({"quotes", nullptr, 0,
       {W(L"S", L"a", L"\"abc\""), W(L"S", L"b", L"\"  pad  \""), W(L"S", L"c", L"  lead"),
        W(L"S", L"d", L"trail  "), W(L"S", L"e", L"\t"), W(L"S", L"f", L"   "), W(L"S", L"g", L"'x'"),
        W(L"S", L"h", L"\""), W(L"S", L"i", L"\"\""), W(L"S", L"j", L"\"a\"b\""), W(L"S", L"k", L"\"abc'"),
        W(L"S", L"l", L"\"\"\""), W(L"S", L"m", L"''"), W(L"S", L"n", L"\"x\"  "),
        R(L"S", L"a"), R(L"S", L"b"), R(L"S", L"c"), R(L"S", L"d"), R(L"S", L"e"), R(L"S", L"f"),
        R(L"S", L"g"), R(L"S", L"h"), R(L"S", L"i"), R(L"S", L"j"), R(L"S", L"k"), R(L"S", L"l"),
        R(L"S", L"m"), R(L"S", L"n"), W(L"S", L"a", L"x")}});
  Run({"defaults", FILE_BYTES("[S]\r\nk=1\r\n"),
       {R(L"S", L"none", L"\"q\""), R(L"S", L"none", L"'q'"), R(L"S", L"none", L"x  "),
        R(L"S", L"none", L"  x  "), R(L"S", L"none", L"   "), R(L"S", L"none", L" "), R(L"S", L"none", L"x\t"),
        R(L"S", L"none", L"\"q\"  "), R(L"S", L"none", L""), R(L"S", L"none", L"\""), R(L"S", L"none", L"'a\""),
        R(L"none", L"k", L"\"q\"")}});
}

TEST_F(app_IniWine, LongValuesAndSmallBuffers) {
  const std::wstring text = Letters(300);
  Run({"300 characters", nullptr, 0,
       {W(L"S", L"quoted", L"\"" + text + L"\""), W(L"S", L"bare", text), R(L"S", L"quoted"), R(L"S", L"bare"),
        R(L"S", L"quoted", L"", 301), R(L"S", L"quoted", L"", 302), R(L"S", L"quoted", L"", 300),
        R(L"S", L"quoted", L"", 2), R(L"S", L"bare", L"", 2), R(L"S", L"bare", L"", 1),
        R(L"S", L"none", L"\"" + text + L"\""), R(L"S", L"none", L"\"12345\"", 6),
        R(L"S", L"none", L"\"12345\"", 7), R(L"S", L"none", L"\"12345\"", 3)}});
}

TEST_F(app_IniWine, Encodings) {
  Run({"utf-16le", FILE_BYTES("\xFF\xFE[\0S\0y\0s\0t\0e\0m\0]\0\r\0\n\0L\0a\0n\0g\0=\0\"\0Z\0\"\0\r\0\n\0"),
       {R(L"System", L"Lang"), W(L"System", L"OutPut", L"\"C:\\\u5F55\u50CF\""), W(L"Video", L"Zoom", L"1"),
        R(L"System", L"OutPut"), W(L"System", L"Pair", L"\U0001F600\xD800")}});
  Run({"utf-16le mark only", FILE_BYTES("\xFF\xFE"), {R(L"S", L"k"), W(L"S", L"k", L"v")}});
  Run({"utf-16be", FILE_BYTES("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0v"),
       {R(L"S", L"k"), W(L"S", L"n", L"\u00E9")}});
  Run({"utf-8", FILE_BYTES("\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xFFz\r\nt=\xE4z"),
       {R(L"S", L"k"), R(L"S", L"t"), W(L"S", L"n", L"\u00E9\xD800x\U0001F600")}});
  Run({"ansi", FILE_BYTES("[\xC9t\xE9]\r\nK\xC9Y=\x80\x81\x9F\xA0x\xA0\r\n"),
       {R(L"\u00C9t\u00E9", L"K\u00C9Y"), R(L"\u00E9T\u00C9", L"k\u00E9y"), R(L"\u00C9T\u00E9", L"k\u00C9y"),
        W(L"\u00C9t\u00E9", L"n", L"\u0100\u0141\u4E2D\uFF21\u2018\u20AC\u00E9\u0152\u0394\u0430\u00A0\u2000"
                                 L"\u0081\U0001F600\u3000\u01C4\u2122")}});
  Run({"one byte", FILE_BYTES("\xFF"), {R(L"", L"\u00FF"), W(L"S", L"k", L"1")}});
  Run({"empty file", FILE_BYTES(""), {R(L"S", L"k", L"\"d\""), W(L"S", L"k", L"1")}});
  Run({"zeros", FILE_BYTES("[S]\r\nz=a\0b\r\n\0=q\r\n[N\0x]\r\nq=1\r\n[a \0]\r\nr=2\r\n"),
       {R(L"S", L"z"), R(L"S", L""), R(L"N", L"q"), R(L"a ", L"r"), R(L"a", L"r"), W(L"S", L"w", L"x")}});
}

TEST_F(app_IniWine, HandWrittenFile) {
  Run({"messy", FILE_BYTES("junk=1\r\n\r\n[ Sec ]\r\n  key  =  value  \r\nnoeq\r\n=x\r\n=y\r\n;comment=3\r\n"
                           "q9=  \"  x  \"  \r\ndup=1\r\ndup=2\r\n[Sec]\r\ndup2=9\r\n[abc\r\n[a]b]\r\nk=1\r\n"
                           "[c] junk\r\nk=2\r\n\rlone=cr\rnext=1\r\n\x1A\tlast=nolf\x1A\v\f"),
       {R(L"", L"junk"), R(L"Sec", L"key"), R(L" Sec ", L" key "), R(L"Sec", L"noeq"), R(L"Sec", L""),
        R(L"Sec", L";comment"), R(L"Sec", L"q9"), R(L"Sec", L"dup"), R(L"Sec", L"dup2"), R(L"Sec", L"[abc"),
        R(L"a]b", L"k"), R(L"c", L"k"), R(L"c", L"lone"), R(L"c", L"next"), R(L"c", L"last"),
        R(L"[abc", L"k"), W(L"Sec", L"noeq", L"now"), W(L"Sec", L"dup2", L"new"), W(L"Sec", L"", L"emptykey")}});
  Run({"empty headers", FILE_BYTES("top=1\r\n[A]\r\nx=1\r\n[]\r\ny=2\r\n[ \t ]\r\nz=3\r\n"),
       {R(L"", L"y"), R(L"", L"top"), R(L"A", L"y"), W(L"A", L"w", L"4"), R(L"A", L"y"), W(L"", L"y", L"5")}});
  Run({"mark after blank lines", FILE_BYTES("\r\n \xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n"),
       {R(L"S", L"k"), W(L"S", L"n", L"1"), R(L"S", L"k"), W(L"S", L"n", L"2")}});
}

TEST_F(app_IniWine, FilesThatCannotBeOpened) {
  const std::wstring strNoFolder = m_dir.File(L"nofolder\\x.ini");
  RunTwins(strNoFolder, strNoFolder,
           {R(L"S", L"k", L"\"q\""), R(L"S", L"k", L"x  "), W(L"S", L"k", L"1"), R(L"S", L"k", L"'q'")});
  const std::wstring strFolder = m_dir.Folder();
  RunTwins(strFolder, strFolder, {R(L"S", L"k", L"\"q\""), W(L"S", L"k", L"1")});
  const std::wstring strMissingA = m_dir.File(L"missing-a.ini"), strMissingB = m_dir.File(L"missing-b.ini");
  RunTwins(strMissingA, strMissingB, {R(L"S", L"k", L"\"q\""), R(L"S", L"k", L"   "), R(L"", L"", L"")});
  EXPECT_EQ(ReadBytes(strMissingA), "<missing>");  // reading creates nothing
  EXPECT_EQ(ReadBytes(strMissingB), "<missing>");
}

// Random sequences over names and values that exercise the rules above in mixtures.
TEST_F(app_IniWine, RandomSequences) {
  const std::vector<std::wstring> sections = {L"S", L"s", L" S ", L"T", L"", L"Sec tion", L"\u00C9", L"\u00E9", L"x]y"};
  const std::vector<std::wstring> keys = {L"k", L"K", L" k ", L"", L"a=b", L"key2", L";c", L"\u00C4", L"[z"};
  const std::vector<std::wstring> values = {
      L"", L"1", L"\"q\"", L"  lead", L"trail  ", L"\"  pad  \"", L"'x'", L"a\r\nb=c", L"\"", L"x=y",
      L"\u00E9\u20AC\u0100\u4E2D", L"[n]", L"\"" + Letters(300) + L"\"", L"\t", L"\"\""};
  const std::vector<std::wstring> defaults = {L"", L"d", L"\"d\"", L"d  ", L"   ", L"'"};
  const std::vector<std::uint32_t> sizes = {256, 2, 5, 300};
  const std::vector<std::string> initials = {
      "", "[S]\r\nk=1\r\n", "top=1\n[s]\nK = \"v\" \n\n[T]\r\n=e\r\n",
      std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0" "1\0", 18), "\xEF\xBB\xBF[T]\r\nkey2=\xC3\xA9\r\n"};

  std::mt19937 rng(20240611);
  auto pick = [&rng](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  for (int nSequence = 0; nSequence < 40; ++nSequence) {
    std::vector<Op> ops;
    for (int i = 0; i < 25; ++i) {
      if (pick(2) == 0) {
        ops.push_back(W(sections[pick(sections.size())], keys[pick(keys.size())], values[pick(values.size())]));
      } else {
        ops.push_back(R(sections[pick(sections.size())], keys[pick(keys.size())], defaults[pick(defaults.size())],
                        sizes[pick(sizes.size())]));
      }
    }
    const std::string& initial = initials[pick(initials.size())];
    SCOPED_TRACE("sequence " + std::to_string(nSequence));
    Run({"random", initial.data(), initial.size(), ops});
    if (HasFatalFailure() || HasNonfatalFailure()) return;
  }
}

TEST_F(app_IniWine, Cp1252MatchesTheSystemForEveryCodeUnit) {
  for (unsigned b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    wchar_t w = 0;
    ASSERT_EQ(::MultiByteToWideChar(1252, 0, &c, 1, &w, 1), 1);
    ASSERT_EQ(Cp1252ToUtf16(std::string(1, c)), std::u16string(1, static_cast<char16_t>(w))) << b;
  }
  for (unsigned u = 0; u < 0x10000; ++u) {
    const wchar_t w = static_cast<wchar_t>(u);
    char out[4] = {};
    ASSERT_EQ(::WideCharToMultiByte(1252, 0, &w, 1, out, 4, nullptr, nullptr), 1);
    ASSERT_EQ(Utf16ToCp1252(std::u16string(1, static_cast<char16_t>(u))), std::string(1, out[0])) << u;
  }
}

}  // namespace
}  // namespace vantor
