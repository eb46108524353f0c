// Win32 files for the writer seam. Paths arrive as UTF-8 and go to the wide API, so a
// name the ANSI code page cannot spell still opens.
#include "platform/File.h"

#include <windows.h>

#include <string>

namespace vantor {
namespace {

std::wstring WideFromUtf8(const std::string& str, bool* pOk) {
  *pOk = true;
  if (str.empty()) return {};
  const int nChars = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, str.data(),
                                           static_cast<int>(str.size()), nullptr, 0);
  if (nChars <= 0) {
    *pOk = false;
    return {};
  }
  std::wstring strWide(static_cast<std::size_t>(nChars), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, str.data(), static_cast<int>(str.size()),
                        strWide.data(), nChars);
  return strWide;
}

class CWin32WriteFile final : public CWriteFile {
 public:
  explicit CWin32WriteFile(HANDLE hFile) : m_hFile(hFile) {}
  ~CWin32WriteFile() override {
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
  }

  bool Seek(std::int64_t nPos) override {
    if (m_hFile == INVALID_HANDLE_VALUE || nPos < 0) return false;
    LARGE_INTEGER liPos;
    liPos.QuadPart = nPos;
    return ::SetFilePointerEx(m_hFile, liPos, nullptr, FILE_BEGIN) != 0;
  }

  bool Write(const void* pData, std::uint32_t nBytes, std::uint32_t* pWritten) override {
    *pWritten = 0;
    if (m_hFile == INVALID_HANDLE_VALUE) return false;
    DWORD dwWritten = 0;
    const BOOL bOk = ::WriteFile(m_hFile, pData, nBytes, &dwWritten, nullptr);
    *pWritten = dwWritten;
    return bOk != 0;
  }

  bool SetEndOfFile() override {
    return m_hFile != INVALID_HANDLE_VALUE && ::SetEndOfFile(m_hFile) != 0;
  }

  bool GetSize(std::int64_t* pSize) override {
    LARGE_INTEGER liSize;
    if (m_hFile == INVALID_HANDLE_VALUE || !::GetFileSizeEx(m_hFile, &liSize)) return false;
    *pSize = liSize.QuadPart;
    return true;
  }

  bool Close() override {
    if (m_hFile == INVALID_HANDLE_VALUE) return false;
    const HANDLE hFile = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    return ::CloseHandle(hFile) != 0;
  }

 private:
  HANDLE m_hFile;
};

class CWin32FileSystem final : public CFileSystem {
 public:
  std::unique_ptr<CWriteFile> CreateWriteFile(const std::string& strPath) override {
    bool bOk;
    const std::wstring strWide = WideFromUtf8(strPath, &bOk);
    if (!bOk || strWide.empty()) return nullptr;
    const HANDLE hFile = ::CreateFileW(strWide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS,
                                       FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<CWin32WriteFile>(hFile);
  }

  bool GetFileSystemName(const std::string& strPath, std::string* pName) override {
    bool bOk;
    const std::wstring strRoot = WideFromUtf8(GetVolumeRoot(strPath), &bOk);
    if (!bOk) return false;
    wchar_t szName[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(strRoot.empty() ? nullptr : strRoot.c_str(), nullptr, 0,
                                 nullptr, nullptr, nullptr, szName, MAX_PATH + 1))
      return false;
    // File system names are plain ASCII ("NTFS", "FAT32", "exFAT").
    pName->clear();
    for (const wchar_t* p = szName; *p; ++p)
      pName->push_back(*p < 0x80 ? static_cast<char>(*p) : '?');
    return true;
  }
};

}  // namespace

CFileSystem& GetNativeFileSystem() {
  static CWin32FileSystem s_FileSystem;
  return s_FileSystem;
}

}  // namespace vantor
