// The engine's code page 1252. The expected values are what Windows' converters give
// (observed under Wine 8); the Wine test compares whole ranges with the system. UTF-8
// and UTF-16 are tested with platform/Text (tests/platform).
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

}  // namespace
}  // namespace vantor
