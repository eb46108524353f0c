#include "recording/OutputFileName.h"

#include <cstdio>
#include <cwchar>

namespace vantor {

namespace {

bool CopyOut(const std::wstring& str, wchar_t* szOut, std::size_t nCapacity) {
  if (nCapacity == 0) return false;
  if (str.size() >= nCapacity) {
    szOut[0] = L'\0';
    return false;
  }
  std::wmemcpy(szOut, str.c_str(), str.size() + 1);
  return true;
}

std::wstring Widen(const char* sz) { return std::wstring(sz, sz + std::char_traits<char>::length(sz)); }

}  // namespace

void FixOutputFolder(std::wstring& strFolder, const std::wstring& strDefaultFolder) {
  if (strFolder.empty()) strFolder = strDefaultFolder;
  if (strFolder.empty()) return;  // nowhere better: the current directory
  const wchar_t cLast = strFolder.back();
  if (cLast != L'/' && cLast != L'\\') strFolder += L'\\';
}

bool FormatOutputFileName(std::wstring& strFolder, const std::wstring& strDefaultFolder,
                          const wchar_t* szExtension, const LocalTimeParts& t, wchar_t* szOut,
                          std::size_t nCapacity) {
  FixOutputFolder(strFolder, strDefaultFolder);
  // The digits are ASCII whatever the locale; formatting them narrow and widening them
  // keeps clear of the differences between the C libraries' wide %s.
  char szStamp[96];
  std::snprintf(szStamp, sizeof szStamp, "%d%02d%02d-%02d%02d%02d%01d.", t.nYear, t.nMonth, t.nDay, t.nHour,
                t.nMinute, t.nSecond, t.nMilliseconds / 100);
  return CopyOut(strFolder + Widen(szStamp) + (szExtension ? szExtension : L""), szOut, nCapacity);
}

bool NumberOutputFileName(const wchar_t* szName, int nNumber, wchar_t* szOut, std::size_t nCapacity) {
  const std::wstring strName(szName);
  std::size_t nDot = strName.rfind(L'.');
  const std::size_t nSeparator = strName.find_last_of(L"/\\");
  if (nDot == std::wstring::npos || (nSeparator != std::wstring::npos && nDot < nSeparator))
    nDot = strName.size();
  char szNumber[16];
  std::snprintf(szNumber, sizeof szNumber, "-%d", nNumber);
  const std::wstring strNumbered = strName.substr(0, nDot) + Widen(szNumber) + strName.substr(nDot);
  if (strNumbered.size() >= nCapacity) return false;
  return CopyOut(strNumbered, szOut, nCapacity);
}

}  // namespace vantor
