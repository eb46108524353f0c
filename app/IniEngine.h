// Vantor's own reader and writer of profile (INI) files, for platforms without
// GetPrivateProfileStringW and WritePrivateProfileStringW. It reproduces what those
// functions do to a file, byte for byte, and what they return, including their quirks
// (see docs/ini-format.md for the rules and how they were established):
//
//  - A file starting with EF BB BF is UTF-8, with FF FE UTF-16LE, with FE FF UTF-16BE;
//    anything else, and every new file, is in the ANSI code page (1252 here). A file
//    is written back in the encoding it was read in, with its byte-order mark.
//  - Lines end at CR or LF; blanks (tab, LF, VT, FF, CR, ^Z, space) around a line, a
//    section name, a key name and a value are dropped, as are blank lines.
//  - Reading strips one pair of matching surrounding quotes (" or '). Writing a value
//    that is equal to the stored one leaves the file untouched; any other write
//    rewrites the whole file in normal form: "[name]" lines and "key=value" lines,
//    each ended by CR LF, no blank lines.
//  - Section and key names compare without regard to ASCII case only.
//
// Every call reads the file again; nothing is cached. (Windows keeps a parsed copy for
// a while and can hand back a trailing blank that a write put in, until it re-reads
// the file; Vantor never writes such values.)
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

enum class IniEncoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

// The contents of one profile file as the profile functions hold it.
class CIniDocument {
 public:
  // A document with no sections, in the ANSI code page: what a missing file reads as.
  CIniDocument() = default;

  static CIniDocument Parse(std::string_view bytes);
  // The file's bytes: the byte-order mark of its encoding, then every section.
  std::string Serialize() const;

  IniEncoding GetEncoding() const { return m_encoding; }

  // The value of key in section, or null when there is no such key or its line has no
  // '='. Names are matched as the profile functions match them: blanks around the
  // query are ignored, ASCII letters match either case, and the first section and the
  // first key of that name win. An empty section name means the lines before the
  // first section header.
  const std::u16string* FindValue(std::u16string_view section, std::u16string_view key) const;

  // Sets the value of key in section, adding the key at the end of its section or a new
  // section at the end of the document when they are missing. Leading blanks of the
  // value are dropped. Returns false when the stored value was already the same, in
  // which case nothing changed.
  bool SetValue(std::u16string_view section, std::u16string_view key, std::u16string_view value);

 private:
  struct Key {
    std::u16string strName;
    std::optional<std::u16string> value;  // empty for a line without '='
  };
  struct Section {
    std::u16string strName;  // empty for the lines before the first header
    std::vector<Key> keys;
  };

  const Section* FindSection(std::u16string_view name) const;

  IniEncoding m_encoding = IniEncoding::kAnsi;
  std::vector<Section> m_sections;
};

// GetPrivateProfileStringW with a section and a key: puts the text into pBuffer (at
// most nSize - 1 code units and a terminating zero) and returns its length. A missing
// key or file gives def; def loses its trailing spaces first, and has its quotes
// stripped like a stored value unless the file could not be opened at all. nSize 0
// leaves the buffer alone and returns 0.
std::uint32_t IniGetString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view def, char16_t* pBuffer, std::uint32_t nSize,
                           const std::wstring& strPath);

// WritePrivateProfileStringW with a section, a key and a value. False when the file
// cannot be opened for update (missing folder, read-only file) or written.
bool IniWriteString(std::u16string_view section, std::u16string_view key,
                    std::u16string_view value, const std::wstring& strPath);

}  // namespace vantor
