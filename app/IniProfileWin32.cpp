// Windows: the system's private-profile functions, which own the file format.
#include "app/IniProfile.h"

#include <windows.h>

namespace vantor {

std::uint32_t ProfileGetString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszDefault,
                               wchar_t* pBuffer, std::uint32_t nSize, const std::wstring& strPath) {
  return ::GetPrivateProfileStringW(pszSection, pszKey, pszDefault, pBuffer, nSize, strPath.c_str());
}

bool ProfileWriteString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue,
                        const std::wstring& strPath) {
  return ::WritePrivateProfileStringW(pszSection, pszKey, pszValue, strPath.c_str()) != 0;
}

}  // namespace vantor
