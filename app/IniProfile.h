// The two profile calls CIni is built on: the system's own on Windows, Vantor's INI
// engine elsewhere. Internal to CIni; everything else goes through CIni.
#pragma once
#include <cstdint>
#include <string>

namespace vantor {

// As GetPrivateProfileStringW with a non-null section and key: fills pBuffer with at
// most nSize - 1 characters and a zero, returns the length.
std::uint32_t ProfileGetString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszDefault,
                               wchar_t* pBuffer, std::uint32_t nSize, const std::wstring& strPath);

// As WritePrivateProfileStringW with a non-null section, key and value.
bool ProfileWriteString(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszValue,
                        const std::wstring& strPath);

}  // namespace vantor
