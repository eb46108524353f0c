#include "Ostrel/OstrelModule.h"

HMODULE OstrelModule() {
  HMODULE hModule = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OstrelModule), &hModule);
  return hModule;
}

void OstrelFolder(WCHAR (&szFolder)[MAX_PATH]) {
  const DWORD cch = GetModuleFileNameW(OstrelModule(), szFolder, MAX_PATH);
  if (cch == 0 || cch >= MAX_PATH) {
    szFolder[0] = L'\0';
    return;
  }
  WCHAR* pszSlash = wcsrchr(szFolder, L'\\');
  if (pszSlash) {
    pszSlash[1] = L'\0';
  } else {
    szFolder[0] = L'\0';
  }
}
