#include "platform/Module.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/Text.h"

namespace vantor {
namespace {

std::string SystemMessage(DWORD dwError) {
  wchar_t* pszText = nullptr;
  const DWORD nChars = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, dwError, 0, reinterpret_cast<wchar_t*>(&pszText), 0, nullptr);
  std::string strText;
  if (nChars && pszText) strText = Utf8FromWide(std::wstring_view(pszText, nChars));
  if (pszText) ::LocalFree(pszText);
  while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r' || strText.back() == ' '))
    strText.pop_back();
  char szCode[32];
  std::snprintf(szCode, sizeof szCode, "error %lu", static_cast<unsigned long>(dwError));
  return strText.empty() ? std::string(szCode) : strText + " (" + szCode + ")";
}

}  // namespace

bool CModule::Load(const char* szName, std::string* pError) {
  Free();
  const std::wstring strName = szName ? WideFromUtf8(szName) : std::wstring();
  if (strName.empty()) {
    if (pError) *pError = "no library name";
    return false;
  }
  // No "cannot find DLL" box from the system: the caller reports it in its own words.
  const UINT nOldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const HMODULE hModule = ::LoadLibraryW(strName.c_str());
  const DWORD dwError = hModule ? 0 : ::GetLastError();
  ::SetErrorMode(nOldMode);
  if (!hModule) {
    if (pError) *pError = SystemMessage(dwError);
    return false;
  }
  m_hModule = hModule;
  return true;
}

void CModule::Free() {
  if (m_hModule) ::FreeLibrary(static_cast<HMODULE>(m_hModule));
  m_hModule = nullptr;
}

void* CModule::GetProcAddress(const char* szName) const {
  if (!m_hModule || !szName) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(m_hModule), szName));
}

}  // namespace vantor
