// The text conversions. The expected values are what Windows' converters give
// (observed under Wine 8); on Windows the last tests compare whole ranges with the
// system's own.
#include <gtest/gtest.h>

#include <string>

#include "platform/Text.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>
#endif

namespace vantor {
namespace {

TEST(platform_Text, Utf8DecodingReplacesBadSequencesAsWindowsCountsThem) {
  struct Case {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      // clang-format off
      {"\xE4\xB8", u"\uFFFD"},          {"\xE4\xB8z", u"\uFFFDz"},
      {"\xE4z", u"\uFFFD"},             // cut off by the end: the rest goes with it
      {"\xC0\x80", u"\uFFFD\uFFFD"},    {"\xC1\xBF", u"\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD"}, {"\xED\x9F\xBF", u"\uD7FF"},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"}, {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\xF0\x9F\x98", u"\uFFFD"},      {"\xF0\x9F\x98z", u"\uFFFDz"},
      {"\xE0\x80\x80", u"\uFFFD\uFFFD"}, {"\xE0\x9F\xBF", u"\uFFFD\uFFFD"},
      {"\xE0\xA0\x80", u"\u0800"},      {"\xF0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"}, {"\xF0\x90\x80\x80", u"\U00010000"},
      {"\xC2", u"\uFFFD"},              {"\xC2z", u"\uFFFDz"},
      {"\x80\x80", u"\uFFFD\uFFFD"},    {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xFF", u"\uFFFD"},              {"\xE4z\xB8", u"\uFFFDz\uFFFD"},
      {"\xE4\xB8\xAD\xE4", u"\u4E2D\uFFFD"}, {"a\xF0\x9F", u"a\uFFFD"},
      {"\xEF\xBF\xBF", u"\uFFFF"},      {"\xEF\xBB\xBF", u"\uFEFF"},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text);
    // The wide form holds the same characters: the rule is one.
    EXPECT_EQ(WideFromUtf8(c.bytes), WideFromUtf16(c.text));
  }
}

TEST(platform_Text, Utf8EncodingReplacesUnpairedSurrogates) {
  const char16_t text[] = {0xD800, u'x', 0xDC00, 0xDBFF, 0xDFFF, 0xDC00, 0xD800};
  const std::string strExpected = "\xEF\xBF\xBDx\xEF\xBF\xBD\xF4\x8F\xBF\xBF\xEF\xBF\xBD\xEF\xBF\xBD";
  EXPECT_EQ(Utf16ToUtf8(std::u16string_view(text, 7)), strExpected);
  if constexpr (sizeof(wchar_t) == 2) {
    const std::wstring wide(std::begin(text), std::end(text));
    EXPECT_EQ(Utf8FromWide(wide), strExpected);
  }
}

TEST(platform_Text, WideTextRoundTripsThroughUtf16) {
  std::wstring wide = L"a\u00E9\u4E2D";
  wide += static_cast<wchar_t>(0xD800);  // unpaired: kept as it is
  wide += L"z";
  if constexpr (sizeof(wchar_t) == 4) wide += static_cast<wchar_t>(0x1F600);
  const std::u16string units = Utf16FromWide(wide);
  EXPECT_EQ(WideFromUtf16(units), wide);
  if constexpr (sizeof(wchar_t) == 4) {
    EXPECT_EQ(units.substr(units.size() - 2), u"\U0001F600");
  }
}

TEST(platform_Text, WideNamesBecomeUtf8) {
  EXPECT_EQ(Utf8FromWide(L"a\u00e9\u4e2d"), "a\xC3\xA9\xE4\xB8\xAD");
  EXPECT_EQ(Utf8FromWide(L"\U0001F3A5"), "\xF0\x9F\x8E\xA5");
  EXPECT_EQ(Utf8FromWide(std::wstring_view()), "");
  if constexpr (sizeof(wchar_t) == 2) {
    const wchar_t szLone[] = {L'x', static_cast<wchar_t>(0xD800), L'y', 0};
    EXPECT_EQ(Utf8FromWide(szLone), "x\xEF\xBF\xBDy");
  }
}

TEST(platform_Text, WideAndUtf8RoundTripEveryPlane) {
  // ASCII, Latin, CJK, the last BMP character before the surrogates, the first after
  // them, an emoji and the last character there is.
  const std::wstring wide = L"Vantor \u00E9\u0436\u5f55\u50cf \uD7FF\uE000 \U0001F3A5 \U0010FFFF";
  const std::string bytes =
      "Vantor \xC3\xA9\xD0\xB6\xE5\xBD\x95\xE5\x83\x8F \xED\x9F\xBF\xEE\x80\x80 \xF0\x9F\x8E\xA5 \xF4\x8F\xBF\xBF";
  EXPECT_EQ(Utf8FromWide(wide), bytes);
  EXPECT_EQ(WideFromUtf8(bytes), wide);
  // A character above U+FFFF is a surrogate pair on Windows, one wchar_t natively.
  const std::wstring emoji = WideFromUtf8("\xF0\x9F\x8E\xA5");
  ASSERT_EQ(emoji.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
  if constexpr (sizeof(wchar_t) == 2) {
    EXPECT_EQ(static_cast<unsigned>(emoji[0]), 0xD83Cu);
    EXPECT_EQ(static_cast<unsigned>(emoji[1]), 0xDFA5u);
  } else {
    EXPECT_EQ(static_cast<unsigned>(emoji[0]), 0x1F3A5u);
  }
  EXPECT_EQ(WideFromUtf8(""), L"");
  // Bytes the string view is told to hold, a zero among them, all go.
  EXPECT_EQ(WideFromUtf8(std::string_view("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(platform_Text, WideCharactersThatAreNoCharactersBecomeReplacements) {
  if constexpr (sizeof(wchar_t) == 4) {
    // Natively a wide string holds code points: a surrogate code or a value past
    // U+10FFFF is no character, the counterpart of an unpaired surrogate on Windows.
    std::wstring wide = L"x";
    wide += static_cast<wchar_t>(0xD800);
    wide += static_cast<wchar_t>(0xDC00);  // two surrogate codes do not make a pair here
    wide += static_cast<wchar_t>(0x110000);
    wide += L"y";
    EXPECT_EQ(Utf8FromWide(wide), "x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy");
  } else {
    const wchar_t szText[] = {static_cast<wchar_t>(0xDC00), L'x', static_cast<wchar_t>(0xDBFF), 0};
    EXPECT_EQ(Utf8FromWide(szText), "\xEF\xBF\xBDx\xEF\xBF\xBD");
  }
  // What the replacement gives back: the replacement character, whole.
  EXPECT_EQ(WideFromUtf8(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xDFFF)))), L"\uFFFD");
}

#if defined(_WIN32)
std::u16string SystemUtf8ToUtf16(const std::string& bytes) {
  if (bytes.empty()) return {};
  std::vector<wchar_t> buf(bytes.size() * 2 + 2);
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), buf.data(),
                                      static_cast<int>(buf.size()));
  return std::u16string(buf.begin(), buf.begin() + n);
}

// Every one- and two-byte input, and three- and four-byte inputs built from the bytes
// where the rules change. Stops at the first difference.
TEST(platform_Text, Utf8DecodingMatchesTheSystem) {
  auto same = [](const std::string& bytes) {
    const std::u16string system = SystemUtf8ToUtf16(bytes);
    if (Utf8ToUtf16(bytes) == system && Utf16FromWide(WideFromUtf8(bytes)) == system) return true;
    ADD_FAILURE() << "bytes " << testing::PrintToString(bytes);
    return false;
  };
  for (unsigned a = 0; a < 256; ++a) {
    if (!same(std::string(1, static_cast<char>(a)))) return;
    for (unsigned b = 0; b < 256; ++b) {
      const std::string two{static_cast<char>(a), static_cast<char>(b)};
      if (!same(two) || (a >= 0xC0 && !same(two + "z"))) return;
    }
  }
  const unsigned char tails[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xE0, 0xF0, 0xFF};
  for (unsigned a = 0xC0; a < 0x100; ++a) {
    for (unsigned char b : tails) {
      for (unsigned char c : tails) {
        const std::string three{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
        if (!same(three) || !same(three + "z")) return;
        if (a < 0xF0) continue;
        for (unsigned char d : tails) {
          if (!same(three + static_cast<char>(d))) return;
        }
      }
    }
  }
}

TEST(platform_Text, Utf8EncodingMatchesTheSystem) {
  const char16_t units[] = {0x41,   0x7F,   0x80,   0x7FF,  0x800,  0xD7FF, 0xD800,
                            0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
  for (char16_t a : units) {
    for (char16_t b : units) {
      for (char16_t c : units) {
        const wchar_t w[3] = {static_cast<wchar_t>(a), static_cast<wchar_t>(b), static_cast<wchar_t>(c)};
        char out[16];
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, w, 3, out, sizeof(out), nullptr, nullptr);
        const std::string system(out, static_cast<std::size_t>(n));
        SCOPED_TRACE(std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
        ASSERT_EQ(Utf16ToUtf8(std::u16string{a, b, c}), system);
        ASSERT_EQ(Utf8FromWide(std::wstring_view(w, 3)), system);
      }
    }
  }
}
#endif

}  // namespace
}  // namespace vantor
