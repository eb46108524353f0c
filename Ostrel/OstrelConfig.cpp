// The library's settings: what the in-game recorder needs to know.
#include <cwchar>

#include "Ostrel/Ostrel.h"
#include "Ostrel/OstrelModule.h"
#include "platform/Types.h"

namespace {

constexpr LONG kDefaultFrameRate = 30;
constexpr LONG kMaxFrameRate = 120;

bool IsAbsolutePath(const WCHAR* pszPath) {
  if (pszPath[0] == L'\\' || pszPath[0] == L'/') return true;  // rooted or UNC
  const WCHAR c = pszPath[0];
  return ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) && pszPath[1] == L':';
}

}  // namespace

COstrelConfigData::COstrelConfigData() : m_szCaptureDir(), m_nFrameRate(kDefaultFrameRate) {}

LONG COstrelConfigData::FixCaptureDir() {
  WCHAR szDir[MAX_PATH] = L"";
  if (m_szCaptureDir[0] == L'\0' || !IsAbsolutePath(m_szCaptureDir)) {
    OstrelFolder(szDir);
  }
  const WCHAR* pszTail = m_szCaptureDir[0] == L'\0' ? L"output" : m_szCaptureDir;
  const size_t cchHead = wcslen(szDir);
  size_t cchTail = wcslen(pszTail);
  const bool bNeedSlash = cchTail == 0 || (pszTail[cchTail - 1] != L'\\' && pszTail[cchTail - 1] != L'/');
  // A cut-off folder name would point somewhere else entirely: keep the old one.
  if (cchHead + cchTail + (bNeedSlash ? 1 : 0) >= MAX_PATH) {
    return vantor::ResultFromSystemError(ERROR_FILENAME_EXCED_RANGE);
  }
  wmemcpy(szDir + cchHead, pszTail, cchTail);
  cchTail += cchHead;
  if (bNeedSlash) szDir[cchTail++] = L'\\';
  szDir[cchTail] = L'\0';
  wmemcpy(m_szCaptureDir, szDir, cchTail + 1);

  // Only reports: the folder is made when something is recorded into it, not
  // every second by the target-watch thread.
  const DWORD dwAttributes = GetFileAttributesW(m_szCaptureDir);
  if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD dwError = GetLastError();
    return vantor::ResultFromSystemError(dwError ? static_cast<std::int32_t>(dwError) : ERROR_PATH_NOT_FOUND);
  }
  if (!(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return vantor::ResultFromSystemError(ERROR_DIRECTORY);
  }
  return vantor::kOk;
}

void COstrelConfigData::CopyConfig(const COstrelConfigData& src) {
  if (&src == this) return;
  wmemcpy(m_szCaptureDir, src.m_szCaptureDir, MAX_PATH);
  m_szCaptureDir[MAX_PATH - 1] = L'\0';
  m_nFrameRate = src.m_nFrameRate;
}

COstrelConfig::COstrelConfig() : m_szIniPath() {
  WCHAR szFolder[MAX_PATH];
  OstrelFolder(szFolder);
  const size_t cchFolder = wcslen(szFolder);
  static const WCHAR kFileName[] = L"Ostrel.ini";
  if (cchFolder + wcslen(kFileName) < MAX_PATH) {
    wmemcpy(m_szIniPath, szFolder, cchFolder);
    wmemcpy(m_szIniPath + cchFolder, kFileName, wcslen(kFileName) + 1);
  }
}

COstrelConfig::~COstrelConfig() = default;

bool COstrelConfig::ReadIniFile() {
  if (m_szIniPath[0] == L'\0') return false;
  // The profile functions would quietly look for a missing file in the Windows folder.
  const DWORD dwAttributes = GetFileAttributesW(m_szIniPath);
  if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;

  WCHAR szDir[MAX_PATH];
  GetPrivateProfileStringW(L"Capture", L"Dir", m_szCaptureDir, szDir, MAX_PATH, m_szIniPath);
  lstrcpynW(m_szCaptureDir, szDir, MAX_PATH);

  // Out-of-range or unreadable rates count as absent.
  const INT nRate = static_cast<INT>(GetPrivateProfileIntW(L"Capture", L"FrameRate", m_nFrameRate, m_szIniPath));
  if (nRate >= 1 && nRate <= kMaxFrameRate) m_nFrameRate = nRate;
  return true;
}
