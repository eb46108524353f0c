// Win32 side of the path seam: UTF-8 paths go to the wide API, and the names the
// system hands back come back as UTF-8. The whole-file functions open files the way the
// system's profile functions do, so the portable INI engine sees the same successes
// and failures as GetPrivateProfileStringW and WritePrivateProfileStringW.
#include "platform/Paths.h"

#include <windows.h>

#include <vector>

#include "platform/Text.h"

namespace vantor {

std::string GetCurrentDir() {
  DWORD dwSize = ::GetCurrentDirectoryW(0, nullptr);
  while (dwSize != 0) {
    std::wstring strDir(dwSize, L'\0');
    const DWORD dwLen = ::GetCurrentDirectoryW(dwSize, strDir.data());
    if (dwLen == 0) break;
    if (dwLen < dwSize) {
      strDir.resize(dwLen);
      return Utf8FromWide(strDir);
    }
    dwSize = dwLen;  // the directory changed meanwhile and grew
  }
  return {};
}

std::string GetProgramPath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD dwLen = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (dwLen == 0) return {};
    if (dwLen < buf.size()) return Utf8FromWide(std::wstring_view(buf.data(), dwLen));
    if (buf.size() >= 32768) return {};  // no Windows path is longer
    buf.resize(buf.size() * 2);
  }
}

bool FileExists(const std::string& strPath) {
  const DWORD dwAttr = ::GetFileAttributesW(WideFromUtf8(strPath).c_str());
  return dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileOpenResult ReadWholeFile(const std::string& strPath, bool bForUpdate, std::string* pBytes) {
  pBytes->clear();
  const HANDLE hFile = ::CreateFileW(WideFromUtf8(strPath).c_str(), GENERIC_READ | (bForUpdate ? GENERIC_WRITE : 0),
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) {
    return ::GetLastError() == ERROR_FILE_NOT_FOUND ? FileOpenResult::kNotFound
                                                    : FileOpenResult::kFailed;
  }
  FileOpenResult result = FileOpenResult::kOk;
  LARGE_INTEGER liSize;
  if (!::GetFileSizeEx(hFile, &liSize) || liSize.QuadPart > 0x7FFFFFFF) {
    result = FileOpenResult::kFailed;
  } else {
    pBytes->resize(static_cast<std::size_t>(liSize.QuadPart));
    std::size_t nDone = 0;
    while (nDone < pBytes->size()) {
      DWORD dwRead = 0;
      if (!::ReadFile(hFile, pBytes->data() + nDone, static_cast<DWORD>(pBytes->size() - nDone),
                      &dwRead, nullptr)) {
        result = FileOpenResult::kFailed;
        break;
      }
      if (dwRead == 0) break;  // the file shrank meanwhile
      nDone += dwRead;
    }
    pBytes->resize(nDone);
  }
  ::CloseHandle(hFile);
  if (result != FileOpenResult::kOk) pBytes->clear();
  return result;
}

bool WriteWholeFile(const std::string& strPath, std::string_view bytes) {
  const HANDLE hFile = ::CreateFileW(WideFromUtf8(strPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return false;
  bool bOk = true;
  std::size_t nDone = 0;
  while (bOk && nDone < bytes.size()) {
    DWORD dwWritten = 0;
    bOk = ::WriteFile(hFile, bytes.data() + nDone, static_cast<DWORD>(bytes.size() - nDone),
                      &dwWritten, nullptr) != 0 &&
          dwWritten != 0;
    nDone += dwWritten;
  }
  return ::CloseHandle(hFile) != 0 && bOk;
}

}  // namespace vantor
