#include "app/Ini.h"

#include "app/IniProfile.h"
#include "app/ProgramFolder.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace vantor {
namespace {

bool HasDriveLetter(const std::wstring& strPath) {
  return strPath.size() >= 2 && strPath[1] == L':' &&
         ((strPath[0] >= L'A' && strPath[0] <= L'Z') || (strPath[0] >= L'a' && strPath[0] <= L'z'));
}

bool StartsAtRoot(const std::wstring& strPath) {
  return !strPath.empty() && (strPath[0] == L'\\' || strPath[0] == L'/');
}

// "C:\Vantor\Vantor.exe" -> "Vantor": the name between the last separator and the last
// dot after it.
std::wstring FileTitle(const std::wstring& strPath) {
  const std::size_t nSep = strPath.find_last_of(L"\\/");
  std::wstring strName = nSep == std::wstring::npos ? strPath : strPath.substr(nSep + 1);
  const std::size_t nDot = strName.rfind(L'.');
  if (nDot != std::wstring::npos) strName.resize(nDot);
  return strName;
}

}  // namespace

std::uint32_t ParseIniNumber(const std::wstring& strText) {
  std::size_t i = 0;
  while (i < strText.size() && (strText[i] == L' ' || (strText[i] >= L'\t' && strText[i] <= L'\r'))) ++i;
  bool bNegative = false;
  if (i < strText.size() && (strText[i] == L'+' || strText[i] == L'-')) bNegative = strText[i++] == L'-';
  std::uint32_t nValue = 0;
  for (; i < strText.size() && strText[i] >= L'0' && strText[i] <= L'9'; ++i) {
    nValue = nValue * 10u + static_cast<std::uint32_t>(strText[i] - L'0');
  }
  return bNegative ? 0u - nValue : nValue;
}

CIni::CIni() {
  const std::wstring strProgram = WideFromUtf8(GetProgramPath());
  m_strPath = ProgramFolderFromPath(strProgram) + FileTitle(strProgram) + L".ini";
  m_strSection = FileTitle(strProgram);
}

CIni::~CIni() = default;

void CIni::SetPath(const std::wstring& strPath) {
  if (HasDriveLetter(strPath) || StartsAtRoot(strPath)) {
    m_strPath = strPath;
    return;
  }
  std::wstring strBase;
  if (m_bRelativeToProgram) {
    strBase = GetProgramFolder();
  } else {
    strBase = WideFromUtf8(GetCurrentDir());
    if (!strBase.empty() && strBase.back() != L'\\' && strBase.back() != L'/') strBase += L'\\';
  }
  m_strPath = strBase + strPath;
}

const wchar_t* CIni::ReadValue(const wchar_t* pszKey, const wchar_t* pszDefault, const wchar_t* pszSection) {
  if (pszSection != nullptr) m_strSection = pszSection;
  if (pszDefault == nullptr) pszDefault = L"";
  if (pszKey == nullptr) {
    // The profile functions would list the section's keys here; no caller wants that.
    const std::wstring strDefault(pszDefault);
    const std::size_t n = strDefault.copy(m_szValue, kValueChars - 1);
    m_szValue[n] = L'\0';
    return m_szValue;
  }
  m_szValue[0] = L'\0';
  ProfileGetString(m_strSection.c_str(), pszKey, pszDefault, m_szValue, kValueChars, m_strPath);
  return m_szValue;
}

bool CIni::WriteValue(const wchar_t* pszKey, const std::wstring& strValue, const wchar_t* pszSection) {
  if (pszSection != nullptr) m_strSection = pszSection;
  // A null key or value would delete a section or a key; CIni only ever stores values.
  if (pszKey == nullptr) return false;
  return ProfileWriteString(m_strSection.c_str(), pszKey, strValue.c_str(), m_strPath);
}

std::wstring CIni::GetString(const wchar_t* pszKey, const wchar_t* pszDefault, const wchar_t* pszSection) {
  return ReadValue(pszKey, pszDefault, pszSection);
}

std::int32_t CIni::GetInt(const wchar_t* pszKey, std::int32_t nDefault, const wchar_t* pszSection) {
  return static_cast<std::int32_t>(
      ParseIniNumber(ReadValue(pszKey, std::to_wstring(nDefault).c_str(), pszSection)));
}

std::uint32_t CIni::GetUInt(const wchar_t* pszKey, std::uint32_t nDefault, const wchar_t* pszSection) {
  return ParseIniNumber(ReadValue(pszKey, std::to_wstring(nDefault).c_str(), pszSection));
}

bool CIni::GetBool(const wchar_t* pszKey, std::int32_t nDefault, const wchar_t* pszSection) {
  const unsigned nLowByte = static_cast<std::uint32_t>(nDefault) & 0xFFu;
  return ParseIniNumber(ReadValue(pszKey, std::to_wstring(nLowByte).c_str(), pszSection)) != 0;
}

bool CIni::WriteString(const wchar_t* pszKey, const wchar_t* pszValue, const wchar_t* pszSection) {
  return WriteValue(pszKey, L"\"" + std::wstring(pszValue != nullptr ? pszValue : L"") + L"\"", pszSection);
}

bool CIni::WriteInt(const wchar_t* pszKey, std::int32_t nValue, const wchar_t* pszSection) {
  return WriteValue(pszKey, std::to_wstring(nValue), pszSection);
}

bool CIni::WriteUInt(const wchar_t* pszKey, std::uint32_t nValue, const wchar_t* pszSection) {
  return WriteValue(pszKey, std::to_wstring(nValue), pszSection);
}

}  // namespace vantor
