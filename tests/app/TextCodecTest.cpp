// The engine's text conversions. The expected values are what Windows' converters give
// (observed under Wine 8); the Wine test compares whole ranges with the system.
#include <gtest/gtest.h>

#include <string>

#include "app/TextCodec.h"

namespace vantor {
namespace {

TEST(app_TextCodec, Cp1252BytesRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::u16string text = Cp1252ToUtf16(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(text[0x41], u'A');
  EXPECT_EQ(text[0x80], u'\u20AC');
  EXPECT_EQ(text[0x81], u'\u0081');  // holes map to the C1 controls
  EXPECT_EQ(text[0x9F], u'\u0178');
  EXPECT_EQ(text[0xA0], u'\u00A0');
  EXPECT_EQ(Utf16ToCp1252(text), all);
}

TEST(app_TextCodec, Cp1252UsesBestFitThenQuestionMarks) {
  struct Case {
    char16_t c;
    char byte;
  } cases[] = {
      {u'\u0100', 'A'}, {u'\u0141', 'L'},  {u'\uFF21', 'A'},  {u'\u2000', ' '},
      {u'\u3000', ' '}, {u'\u2018', '\x91'}, {u'\u2122', '\x99'}, {u'\u0110', '\xD0'},
      {u'\u4E2D', '?'}, {u'\u0394', '?'},  {u'\u0430', '?'},  {u'\u01C4', '?'},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16ToCp1252(std::u16string(1, c.c)), std::string(1, c.byte)) << int(c.c);
  EXPECT_EQ(Utf16ToCp1252(u"\U0001F600"), "??");
}

TEST(app_TextCodec, Utf8DecodingReplacesBadSequencesAsWindowsCountsThem) {
  struct Case {
    std::string bytes;
    std::u16string text;
  } cases[] = {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text);
  }
}

TEST(app_TextCodec, Utf8EncodingReplacesUnpairedSurrogates) {
  const char16_t text[] = {0xD800, u'x', 0xDC00, 0xDBFF, 0xDFFF, 0xDC00, 0xD800};
  EXPECT_EQ(Utf16ToUtf8(std::u16string_view(text, 7)),
            "\xEF\xBF\xBDx\xEF\xBF\xBD\xF4\x8F\xBF\xBF\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(app_TextCodec, WideTextRoundTripsThroughUtf16) {
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

}  // namespace
}  // namespace vantor
