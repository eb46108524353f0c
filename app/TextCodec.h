// The ANSI code page of the INI engine, made to give the same code units and bytes as
// Windows' MultiByteToWideChar and WideCharToMultiByte (flags 0) for code page 1252.
// The engine's other encodings, UTF-8 and UTF-16, are converted by platform/Text.h
// under the same rules.
//
// Text is kept as UTF-16 code units (std::u16string), as Windows keeps it, so that
// lengths, buffer cuts and unpaired surrogates behave the same natively, where wchar_t
// holds 32 bits.
#pragma once
#include <string>
#include <string_view>

namespace vantor {

// The ANSI code page Vantor's files are written in natively: Windows-1252, the code
// page of an English or Western European Windows (and of Wine's default locale).
// Every byte decodes; 0x81, 0x8D, 0x8F, 0x90 and 0x9D become U+0081 ... as on Windows.
std::u16string Cp1252ToUtf16(std::string_view bytes);
// Characters without a byte of their own take Windows' best-fit byte (U+0100 gives
// 'A', U+2000 a blank) or else '?'; each half of a surrogate pair gives its own '?'.
std::string Utf16ToCp1252(std::u16string_view text);

}  // namespace vantor
