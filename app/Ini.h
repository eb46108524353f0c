// CIni: typed values in one INI file, read and written through the profile functions
// (GetPrivateProfileStringW / WritePrivateProfileStringW on Windows, Vantor's INI
// engine elsewhere, which keeps the same file format).
//
// Text values are written between double quotes, which the reading side strips again,
// so blanks at either end of a text survive. Numbers are written bare, in decimal.
// Nothing is reported: a failed write is lost, a failed read gives the default.
// One object is used by one thread at a time.
#pragma once
#include <cstdint>
#include <string>

namespace vantor {

class CIni {
 public:
  // Reads hand back at most this many characters less one.
  static constexpr std::uint32_t kValueChars = 256;

  // The executable's path with its extension replaced by ".ini"; the section is the
  // executable's name without extension (the application's name).
  CIni();
  virtual ~CIni();

  // Stores the file's path. A path without a drive letter is completed by putting the
  // program folder (or, with SetRelativeToProgram(false), the current directory) in
  // front of it: "Config.ini" becomes the program folder's Config.ini. A path with a
  // drive letter, or one that starts at a root ("\\server\share\...", "/home/..."),
  // is kept as it is.
  void SetPath(const std::wstring& strPath);
  const std::wstring& GetPath() const { return m_strPath; }

  // How SetPath completes a relative path; true (program folder) unless changed.
  void SetRelativeToProgram(bool bRelativeToProgram) { m_bRelativeToProgram = bRelativeToProgram; }

  // The current section, used by every operation not given one. An operation given a
  // section makes it the current one.
  void SetSection(const std::wstring& strSection) { m_strSection = strSection; }
  const std::wstring& GetSection() const { return m_strSection; }

  // The key's text (at most 255 characters), pszDefault (or empty) when it is missing.
  // A null key reads as missing.
  std::wstring GetString(const wchar_t* pszKey, const wchar_t* pszDefault = nullptr,
                         const wchar_t* pszSection = nullptr);
  // The key's text as a decimal number; see ParseIniNumber. The default goes through the
  // same text form, so a missing key gives it back and an empty value gives 0.
  std::int32_t GetInt(const wchar_t* pszKey, std::int32_t nDefault = 0, const wchar_t* pszSection = nullptr);
  std::uint32_t GetUInt(const wchar_t* pszKey, std::uint32_t nDefault = 0, const wchar_t* pszSection = nullptr);
  // True when the number is nonzero. Only the low byte of nDefault counts (a BOOL of 256
  // is false), as the default is passed as that byte's decimal text.
  bool GetBool(const wchar_t* pszKey, std::int32_t nDefault = 0, const wchar_t* pszSection = nullptr);

  // The value between double quotes; a null value is written as an empty text. A null
  // key writes nothing. False when the file could not be written.
  bool WriteString(const wchar_t* pszKey, const wchar_t* pszValue, const wchar_t* pszSection = nullptr);
  bool WriteInt(const wchar_t* pszKey, std::int32_t nValue, const wchar_t* pszSection = nullptr);
  bool WriteUInt(const wchar_t* pszKey, std::uint32_t nValue, const wchar_t* pszSection = nullptr);

 private:
  // Every read: makes the section current and fills m_szValue.
  const wchar_t* ReadValue(const wchar_t* pszKey, const wchar_t* pszDefault, const wchar_t* pszSection);
  bool WriteValue(const wchar_t* pszKey, const std::wstring& strValue, const wchar_t* pszSection);

  bool m_bRelativeToProgram = true;
  wchar_t m_szValue[kValueChars] = {};  // the text of the last read
  std::wstring m_strPath;
  std::wstring m_strSection;
};

// The number at the start of a value: blanks (space, tab, CR, LF, VT, FF) skipped, one
// optional sign, decimal digits up to the first other character. No digits gives 0;
// overflow is not detected, the value wraps modulo 2^32 (so "-1" as unsigned is
// 4294967295).
std::uint32_t ParseIniNumber(const std::wstring& strText);

}  // namespace vantor
