// Text between UTF-8, UTF-16 and the wide strings of the Windows API: the program's one
// set of conversions, portable (the same code runs natively and on Windows).
//
// Bad input follows one rule everywhere, Windows' own (MultiByteToWideChar and
// WideCharToMultiByte with CP_UTF8 and no flags), so a name or a setting converts to
// the same characters in every build:
//  - UTF-8 decoding: an invalid sequence becomes U+FFFD, counted as Windows counts them.
//    A sequence is taken byte by byte; a byte of the wrong form ends it before that byte
//    ("E4 7A B8" gives U+FFFD, 'z', U+FFFD), an overlong, surrogate or too-large value
//    ends it after it ("E0 80 80" gives two U+FFFD). A sequence cut off by the end of
//    the input becomes one U+FFFD together with whatever bytes follow it.
//  - UTF-8 encoding: an unpaired surrogate becomes U+FFFD.
//
// Wide strings are UTF-16 on Windows (wchar_t has 16 bits) and UTF-32 natively (32
// bits). Natively a wide character that is no character (a surrogate code, or a value
// above U+10FFFF) is encoded as U+FFFD, the counterpart of an unpaired surrogate on
// Windows; characters above U+FFFF take one wchar_t there and two on Windows.
#pragma once
#include <string>
#include <string_view>

namespace vantor {

// UTF-8 and the wide strings of the program (paths, window text, settings).
std::string Utf8FromWide(std::wstring_view text);
std::wstring WideFromUtf8(std::string_view bytes);

// UTF-8 and UTF-16 code units, for text that must keep Windows' lengths and cuts
// natively too (the INI engine keeps its text as std::u16string).
std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

// Between the program's wide strings and UTF-16. On Windows both are the same code
// units. Natively a character above U+FFFF becomes a surrogate pair and back; unpaired
// surrogates pass through unchanged both ways, so nothing is lost in a round trip.
std::u16string Utf16FromWide(std::wstring_view text);
std::wstring WideFromUtf16(std::u16string_view text);

}  // namespace vantor
