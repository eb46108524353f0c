// Elsewhere: Vantor's INI engine, which keeps the Windows file format and results.
#include "app/IniProfile.h"

#include <vector>

#include "app/IniEngine.h"
#include "platform/Text.h"

namespace vantor {

std::uint32_t ProfileGetString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszDefault,
                               wchar_t* pBuffer, std::uint32_t nSize, const std::wstring& strPath) {
  if (pBuffer == nullptr || nSize == 0) return 0;
  std::vector<char16_t> units(nSize);
  const std::uint32_t nUnits =
      IniGetString(Utf16FromWide(pszSection), Utf16FromWide(pszKey),
                   Utf16FromWide(pszDefault != nullptr ? pszDefault : L""), units.data(), nSize, strPath);
  // Natively a surrogate pair is one wchar_t, so the text never grows here.
  const std::wstring strText = WideFromUtf16(std::u16string_view(units.data(), nUnits));
  strText.copy(pBuffer, strText.size());
  pBuffer[strText.size()] = L'\0';
  return static_cast<std::uint32_t>(strText.size());
}

bool ProfileWriteString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue,
                        const std::wstring& strPath) {
  return IniWriteString(Utf16FromWide(pszSection), Utf16FromWide(pszKey), Utf16FromWide(pszValue), strPath);
}

}  // namespace vantor
