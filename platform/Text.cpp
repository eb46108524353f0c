// UTF-8, UTF-16 and wide text with Windows' rules for odd input.
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>

namespace vantor {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
// A Unicode scalar value: what UTF-8 and UTF-32 may hold.
bool IsCharacter(char32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }

// c is a character (IsCharacter).
void AppendUtf8(std::string* pOut, char32_t c) {
  if (c < 0x80) {
    *pOut += static_cast<char>(c);
  } else if (c < 0x800) {
    *pOut += static_cast<char>(0xC0 | (c >> 6));
    *pOut += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *pOut += static_cast<char>(0xE0 | (c >> 12));
    *pOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *pOut += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *pOut += static_cast<char>(0xF0 | (c >> 18));
    *pOut += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *pOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *pOut += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Into 16-bit code units (std::u16string, or std::wstring on Windows); c is at most
// U+10FFFF.
template <class String>
void AppendUtf16(String* pOut, char32_t c) {
  using Unit = typename String::value_type;
  if (c >= 0x10000) {
    c -= 0x10000;
    *pOut += static_cast<Unit>(0xD800 | (c >> 10));
    *pOut += static_cast<Unit>(0xDC00 | (c & 0x3FF));
  } else {
    *pOut += static_cast<Unit>(c);
  }
}

// Decodes the sequence whose lead byte (>= 0x80) was just taken; *pPos is the index of
// the byte after it. Returns the code point, or a value above U+10FFFF for an invalid
// sequence. Continuation bytes are taken one at a time: a byte of the wrong form ends
// the bad sequence before it, a byte of the right form that makes the character
// overlong, a surrogate or too large ends it after it. A sequence cut off by the end of
// the input swallows the rest of the input, whatever it is.
char32_t DecodeUtf8Tail(unsigned char lead, std::string_view bytes, std::size_t* pPos) {
  constexpr char32_t kInvalid = 0xFFFFFFFF;
  std::size_t nMore;
  char32_t c;
  if (lead >= 0xC2 && lead <= 0xDF) {
    nMore = 1, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    nMore = 2, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    nMore = 3, c = lead & 0x07;
  } else {
    return kInvalid;
  }
  if (bytes.size() - *pPos < nMore) {
    *pPos = bytes.size();
    return kInvalid;
  }
  // Adds the next byte when it has the continuation form; a byte of the wrong form is
  // left for the next character.
  auto take = [&]() -> bool {
    const unsigned char cc = static_cast<unsigned char>(bytes[*pPos]) ^ 0x80;
    if (cc >= 0x40) return false;
    c = (c << 6) | cc;
    ++*pPos;
    return true;
  };
  if (nMore == 3) {
    if (!take()) return kInvalid;
    if (c < 0x10 || c >= 0x110) return kInvalid;  // overlong, or beyond U+10FFFF
  }
  if (nMore >= 2) {
    if (!take()) return kInvalid;
    if (c < 0x20 || (c >= 0x360 && c < 0x380)) return kInvalid;  // overlong, or a surrogate
  }
  if (!take()) return kInvalid;
  return c;
}

// Calls fnPut with every character of the UTF-8 bytes, U+FFFD for each bad sequence.
template <class Put>
void DecodeUtf8(std::string_view bytes, Put fnPut) {
  std::size_t nPos = 0;
  while (nPos < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[nPos++]);
    if (lead < 0x80) {
      fnPut(static_cast<char32_t>(lead));
      continue;
    }
    const char32_t c = DecodeUtf8Tail(lead, bytes, &nPos);
    fnPut(c <= 0x10FFFF ? c : kReplacement);
  }
}

// Calls fnPut with every character of 16-bit code units, U+FFFD for each unpaired
// surrogate.
template <class Unit, class Put>
void DecodeUtf16(std::basic_string_view<Unit> text, Put fnPut) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = static_cast<std::uint16_t>(text[i]);
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<std::uint16_t>(text[i + 1]))) {
      fnPut(0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint16_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else {
      fnPut(IsHighSurrogate(c) || IsLowSurrogate(c) ? kReplacement : c);
    }
  }
}

}  // namespace

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    DecodeUtf16(text, [&out](char32_t c) { AppendUtf8(&out, c); });
  } else {
    for (wchar_t wc : text) {
      const auto c = static_cast<char32_t>(static_cast<std::uint32_t>(wc));
      AppendUtf8(&out, IsCharacter(c) ? c : kReplacement);
    }
  }
  return out;
}

std::wstring WideFromUtf8(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    DecodeUtf8(bytes, [&out](char32_t c) { AppendUtf16(&out, c); });
  } else {
    DecodeUtf8(bytes, [&out](char32_t c) { out += static_cast<wchar_t>(c); });
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  DecodeUtf8(bytes, [&out](char32_t c) { AppendUtf16(&out, c); });
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  DecodeUtf16(text, [&out](char32_t c) { AppendUtf8(&out, c); });
  return out;
}

std::u16string Utf16FromWide(std::wstring_view text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
  } else {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
      const auto c = static_cast<std::uint32_t>(wc);
      AppendUtf16(&out, c <= 0x10FFFF ? c : kReplacement);
    }
    return out;
  }
}

std::wstring WideFromUtf16(std::u16string_view text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
  } else {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        out += static_cast<wchar_t>(0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00));
        ++i;
      } else {
        out += static_cast<wchar_t>(text[i]);
      }
    }
    return out;
  }
}

}  // namespace vantor
