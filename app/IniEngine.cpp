// The profile-file engine: parsing, normal-form writing, and the two profile calls.
#include "app/IniEngine.h"

#include "app/TextCodec.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace vantor {
namespace {

// The blanks of the profile functions: not the Unicode spaces, but ^Z (a DOS end of
// file, found on old CD-ROMs) counts.
bool IsBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::u16string_view SkipLeadingBlanks(std::u16string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

std::u16string_view TrimBlanks(std::u16string_view s) {
  s = SkipLeadingBlanks(s);
  std::size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

// The profile functions take C strings: whatever follows a zero is not seen.
std::u16string_view UpToZero(std::u16string_view s) {
  const std::size_t n = s.find(u'\0');
  return n == std::u16string_view::npos ? s : s.substr(0, n);
}

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool NamesMatch(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bBigEndian) {
  // An odd last byte is no character; it is dropped.
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
    const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = bBigEndian ? static_cast<char16_t>((b0 << 8) | b1) : static_cast<char16_t>((b1 << 8) | b0);
  }
  return out;
}

void AppendUtf16(std::string* pOut, std::u16string_view text, bool bBigEndian) {
  for (char16_t c : text) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    *pOut += bBigEndian ? hi : lo;
    *pOut += bBigEndian ? lo : hi;
  }
}

// lstrcpynW: at most nSize - 1 units and a terminating zero.
std::uint32_t CopyCut(char16_t* pBuffer, std::uint32_t nSize, std::u16string_view text) {
  const std::uint32_t n = text.size() < nSize - 1 ? static_cast<std::uint32_t>(text.size()) : nSize - 1;
  text.copy(pBuffer, n);
  pBuffer[n] = u'\0';
  return n;
}

// Copies a stored value (or the default) as the reading functions hand it out: one
// pair of surrounding quotes is dropped. The closing quote is recognised on the full
// text and dropped after the cut, so a buffer exactly one unit short of the unquoted
// text loses the text's last character, as on Windows.
std::uint32_t CopyEntry(char16_t* pBuffer, std::uint32_t nSize, std::u16string_view value) {
  bool bQuoted = false;
  if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]) {
    bQuoted = true;
    value.remove_prefix(1);
  }
  std::uint32_t n = CopyCut(pBuffer, nSize, value);
  // With a one-unit buffer Windows writes before the buffer here; there is nothing to cut.
  if (bQuoted && nSize >= value.size() && n > 0) pBuffer[--n] = u'\0';
  return n;
}

}  // namespace

CIniDocument CIniDocument::Parse(std::string_view bytes) {
  CIniDocument doc;
  if (bytes.empty()) return doc;

  std::u16string text;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.m_encoding = IniEncoding::kUtf8;
    text = Utf8ToUtf16(bytes.substr(3));
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    doc.m_encoding = IniEncoding::kUtf16Le;
    text = DecodeUtf16(bytes.substr(2), false);
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
    doc.m_encoding = IniEncoding::kUtf16Be;
    text = DecodeUtf16(bytes.substr(2), true);
  } else {
    text = Cp1252ToUtf16(bytes);
  }

  doc.m_sections.emplace_back();  // the lines before the first header
  Section* pSection = &doc.m_sections.back();
  const Key* pPrevKey = nullptr;
  const std::u16string_view all(text);
  std::size_t nPos = 0;
  while (nPos < all.size()) {
    const std::size_t nStart = nPos;
    while (nPos < all.size() && all[nPos] != u'\r' && all[nPos] != u'\n') ++nPos;
    const std::size_t nEnd = nPos;
    while (nPos < all.size() && (all[nPos] == u'\r' || all[nPos] == u'\n')) ++nPos;
    const std::u16string_view line = TrimBlanks(all.substr(nStart, nEnd - nStart));
    if (line.empty()) continue;

    if (line[0] == u'[') {
      const std::size_t nClose = line.rfind(u']');
      if (nClose != std::u16string_view::npos) {
        doc.m_sections.push_back(Section{std::u16string(UpToZero(TrimBlanks(line.substr(1, nClose - 1)))), {}});
        pSection = &doc.m_sections.back();
        pPrevKey = nullptr;
        continue;
      }
      // A '[' without a ']' is an ordinary line.
    }

    std::u16string_view name = line;
    std::optional<std::u16string> value;
    const std::size_t nEq = line.find(u'=');
    if (nEq != std::u16string_view::npos) {
      name = line.substr(0, nEq);
      while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
      value = std::u16string(UpToZero(SkipLeadingBlanks(line.substr(nEq + 1))));
    }
    // Lines without a name ("=x") after another nameless line are dropped; the length
    // tested is the one before a zero cuts the name, as Windows tests it.
    if (!name.empty() || pPrevKey == nullptr || !pPrevKey->strName.empty()) {
      pSection->keys.push_back(Key{std::u16string(UpToZero(name)), std::move(value)});
      pPrevKey = &pSection->keys.back();
    }
  }
  return doc;
}

std::string CIniDocument::Serialize() const {
  std::u16string text;
  for (const Section& section : m_sections) {
    if (!section.strName.empty()) text += u"[" + section.strName + u"]\r\n";
    for (const Key& key : section.keys) {
      text += key.strName;
      if (key.value) text += u"=" + *key.value;
      text += u"\r\n";
    }
  }
  std::string out;
  switch (m_encoding) {
    case IniEncoding::kAnsi:
      out = Utf16ToCp1252(text);
      break;
    case IniEncoding::kUtf8:
      out = "\xEF\xBB\xBF" + Utf16ToUtf8(text);
      break;
    case IniEncoding::kUtf16Le:
      out = "\xFF\xFE";
      AppendUtf16(&out, text, false);
      break;
    case IniEncoding::kUtf16Be:
      out = "\xFE\xFF";
      AppendUtf16(&out, text, true);
      break;
  }
  return out;
}

const CIniDocument::Section* CIniDocument::FindSection(std::u16string_view name) const {
  name = TrimBlanks(name);
  for (const Section& section : m_sections) {
    if (NamesMatch(section.strName, name)) return &section;
  }
  return nullptr;
}

const std::u16string* CIniDocument::FindValue(std::u16string_view section, std::u16string_view key) const {
  const Section* pSection = FindSection(section);
  if (pSection == nullptr) return nullptr;
  key = TrimBlanks(key);
  for (const Key& k : pSection->keys) {
    if (NamesMatch(k.strName, key)) return k.value ? &*k.value : nullptr;
  }
  return nullptr;
}

bool CIniDocument::SetValue(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  // New names keep their trailing blanks, as Windows stores them; they go when the file
  // is read again.
  const std::u16string_view sectionName = SkipLeadingBlanks(section);
  const std::u16string_view keyName = SkipLeadingBlanks(key);
  value = SkipLeadingBlanks(value);

  Key* pKey = nullptr;
  if (const Section* pFound = FindSection(section)) {
    Section& s = m_sections[static_cast<std::size_t>(pFound - m_sections.data())];
    const std::u16string_view keyTrimmed = TrimBlanks(key);
    for (Key& k : s.keys) {
      if (NamesMatch(k.strName, keyTrimmed)) {
        pKey = &k;
        break;
      }
    }
    if (pKey == nullptr) {
      s.keys.push_back(Key{std::u16string(keyName), std::nullopt});
      pKey = &s.keys.back();
    }
  } else {
    m_sections.push_back(Section{std::u16string(sectionName), {Key{std::u16string(keyName), std::nullopt}}});
    pKey = &m_sections.back().keys.back();
  }
  if (pKey->value && *pKey->value == value) return false;
  pKey->value = std::u16string(value);
  return true;
}

std::uint32_t IniGetString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view def, char16_t* pBuffer, std::uint32_t nSize,
                           const std::wstring& strPath) {
  if (pBuffer == nullptr || nSize == 0) return 0;
  section = UpToZero(section);
  key = UpToZero(key);
  def = UpToZero(def);
  // Trailing spaces (spaces only) of the default go, but never its first character.
  if (!def.empty()) {
    std::size_t nLast = def.size() - 1;
    while (nLast > 0 && def[nLast] == u' ') --nLast;
    def = def.substr(0, nLast + 1);
  }

  std::string bytes;
  const FileOpenResult result = ReadWholeFile(Utf8FromWide(strPath), false, &bytes);
  if (result == FileOpenResult::kFailed) return CopyCut(pBuffer, nSize, def);
  const CIniDocument doc = result == FileOpenResult::kOk ? CIniDocument::Parse(bytes) : CIniDocument();
  const std::u16string* pValue = doc.FindValue(section, key);
  return CopyEntry(pBuffer, nSize, pValue != nullptr ? std::u16string_view(*pValue) : def);
}

bool IniWriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                    const std::wstring& strPath) {
  const std::string strFile = Utf8FromWide(strPath);
  std::string bytes;
  const FileOpenResult result = ReadWholeFile(strFile, true, &bytes);
  if (result == FileOpenResult::kFailed) return false;
  CIniDocument doc = result == FileOpenResult::kOk ? CIniDocument::Parse(bytes) : CIniDocument();
  if (!doc.SetValue(UpToZero(section), UpToZero(key), UpToZero(value))) return true;
  return WriteWholeFile(strFile, doc.Serialize());
}

}  // namespace vantor
