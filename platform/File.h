// Files opened for writing, with 64-bit positions, extension and truncation, and the
// name of the file system that holds a path.
//
// The path convention of the whole platform seam (this header, Paths.h, Folders.h,
// Module.h): paths are UTF-8 std::string. Code that holds wide paths (the Windows-only
// code, the settings) converts them once with Utf8FromWide (platform/Text.h) where it
// hands them over. The Windows side converts them to UTF-16 and calls the wide API, so
// names outside the ANSI code page work; the POSIX side passes the bytes through
// unchanged (Paths.h and Folders.h also read a backslash as a separator there).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vantor {

// One file open for writing. The destructor closes a file that is still open and drops
// the result, so a handle is never leaked, even on an error path.
class CWriteFile {
 public:
  CWriteFile() = default;
  CWriteFile(const CWriteFile&) = delete;
  CWriteFile& operator=(const CWriteFile&) = delete;
  virtual ~CWriteFile() = default;

  // Moves the file position to nPos bytes from the beginning (nPos may lie past the end).
  virtual bool Seek(std::int64_t nPos) = 0;
  // Writes at the file position and advances it by what was written. *pWritten gets the
  // byte count; a result of true with *pWritten < nBytes is a short write, which callers
  // must treat as a failure.
  virtual bool Write(const void* pData, std::uint32_t nBytes, std::uint32_t* pWritten) = 0;
  // Makes the file position the file's length, growing or shrinking the file. Growth
  // reserves the space where the file system allows, so a full disk shows up here.
  virtual bool SetEndOfFile() = 0;
  virtual bool GetSize(std::int64_t* pSize) = 0;
  // Closes the file; false when the system reports an error (data may be lost). After the
  // call, successful or not, the object holds no handle.
  virtual bool Close() = 0;
};

// Where files come from. Tests put their own implementation in front of the writer.
class CFileSystem {
 public:
  virtual ~CFileSystem() = default;
  // Creates the file, or truncates an existing one, for writing; others may read it
  // meanwhile. Null on failure.
  virtual std::unique_ptr<CWriteFile> CreateWriteFile(const std::string& strPath) = 0;
  // The name of the file system that holds strPath ("NTFS", "FAT32", "ext4" ...).
  virtual bool GetFileSystemName(const std::string& strPath, std::string* pName) = 0;
};

// The process-wide file system of the platform.
CFileSystem& GetNativeFileSystem();

// The volume root Windows wants for a path: "C:\" for "C:..." and "\\server\share\" for
// "\\server\share\...". Empty when the path names neither, meaning the current volume.
// A UNC path without a share yields empty too: there is no root to ask about.
inline std::string GetVolumeRoot(std::string_view strPath) {
  auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (strPath.size() >= 2 && isLetter(strPath[0]) && strPath[1] == ':')
    return std::string(strPath.substr(0, 2)) + "\\";
  if (strPath.size() >= 2 && strPath[0] == '\\' && strPath[1] == '\\') {
    const std::size_t nServerEnd = strPath.find('\\', 2);
    if (nServerEnd == std::string_view::npos || nServerEnd == 2) return {};
    const std::size_t nShareEnd = strPath.find('\\', nServerEnd + 1);
    const std::string_view strShare = strPath.substr(
        nServerEnd + 1, nShareEnd == std::string_view::npos ? std::string_view::npos
                                                            : nShareEnd - nServerEnd - 1);
    if (strShare.empty()) return {};
    return std::string(strPath.substr(0, nServerEnd + 1 + strShare.size())) + "\\";
  }
  return {};
}

}  // namespace vantor
