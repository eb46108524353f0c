// Win32 files for the writer seam. Paths arrive as UTF-8 and go to the wide API, so a
// name the ANSI code page cannot spell still opens.
#include "platform/File.h"

#include <windows.h>

#include <string>

#include "platform/Text.h"

namespace vantor {
namespace {

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
    const std::wstring strWide = WideFromUtf8(strPath);
    if (strWide.empty()) return nullptr;
    const HANDLE hFile = ::CreateFileW(strWide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS,
                                       FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<CWin32WriteFile>(hFile);
  }

  bool GetFileSystemName(const std::string& strPath, std::string* pName) override {
    const std::wstring strRoot = WideFromUtf8(GetVolumeRoot(strPath));
    wchar_t szName[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(strRoot.empty() ? nullptr : strRoot.c_str(), nullptr, 0,
                                 nullptr, nullptr, nullptr, szName, MAX_PATH + 1))
      return false;
    *pName = Utf8FromWide(szName);
    return true;
  }
};

}  // namespace

CFileSystem& GetNativeFileSystem() {
  static CWin32FileSystem s_FileSystem;
  return s_FileSystem;
}

}  // namespace vantor
