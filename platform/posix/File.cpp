// POSIX files for the writer seam: pwrite at a tracked position, fallocate for growth.
#include "platform/File.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vantor {
namespace {

class CPosixWriteFile final : public CWriteFile {
 public:
  explicit CPosixWriteFile(int fd) : m_nFd(fd) {}
  ~CPosixWriteFile() override {
    if (m_nFd >= 0) ::close(m_nFd);
  }

  bool Seek(std::int64_t nPos) override {
    if (m_nFd < 0 || nPos < 0) return false;
    m_nPos = nPos;
    return true;
  }

  bool Write(const void* pData, std::uint32_t nBytes, std::uint32_t* pWritten) override {
    *pWritten = 0;
    if (m_nFd < 0) return false;
    const char* p = static_cast<const char*>(pData);
    while (*pWritten < nBytes) {
      const ssize_t n = ::pwrite(m_nFd, p + *pWritten, nBytes - *pWritten, m_nPos);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      *pWritten += static_cast<std::uint32_t>(n);
      m_nPos += n;
    }
    return true;
  }

  bool SetEndOfFile() override {
    if (m_nFd < 0) return false;
    struct stat st;
    if (::fstat(m_nFd, &st) != 0) return false;
    if (m_nPos > st.st_size) {
      // Reserve the blocks, as Windows does when a file grows, so that a full disk fails
      // the extension instead of a later write. File systems without fallocate get a
      // sparse extension.
      // (posix_fallocate is avoided: where the call is missing glibc emulates it by
      // writing every block.)
      int nResult;
      do {
        nResult = ::fallocate(m_nFd, 0, st.st_size, m_nPos - st.st_size);
      } while (nResult != 0 && errno == EINTR);
      if (nResult == 0) return true;
      if (errno != EOPNOTSUPP && errno != ENOSYS) return false;
    }
    return ::ftruncate(m_nFd, m_nPos) == 0;
  }

  bool GetSize(std::int64_t* pSize) override {
    struct stat st;
    if (m_nFd < 0 || ::fstat(m_nFd, &st) != 0) return false;
    *pSize = st.st_size;
    return true;
  }

  bool Close() override {
    if (m_nFd < 0) return false;
    const int fd = m_nFd;
    m_nFd = -1;
    // close() is not retried on EINTR: the descriptor is gone either way on Linux.
    return ::close(fd) == 0;
  }

 private:
  int m_nFd;
  std::int64_t m_nPos = 0;
};

const char* NameOfMagic(unsigned long nMagic) {
  switch (nMagic) {
    case 0x4d44: return "FAT";  // msdos and vfat
    case 0x2011BAB0: return "exFAT";
    case 0xEF53: return "ext4";
    case 0x01021994: return "tmpfs";
    case 0x58465342: return "XFS";
    case 0x9123683E: return "btrfs";
    case 0x5346544E: return "NTFS";
    case 0x7366746E: return "NTFS";  // ntfs3
    case 0x794C7630: return "overlay";
    case 0x6969: return "NFS";
    default: return nullptr;
  }
}

class CPosixFileSystem final : public CFileSystem {
 public:
  std::unique_ptr<CWriteFile> CreateWriteFile(const std::string& strPath) override {
    int fd;
    do {
      fd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    // Recordings are written once, front to back.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<CPosixWriteFile>(fd);
  }

  bool GetFileSystemName(const std::string& strPath, std::string* pName) override {
    // The file may not exist yet: ask about the folder that will hold it.
    const std::size_t nSlash = strPath.rfind('/');
    const std::string strDir = nSlash == std::string::npos ? std::string(".")
                               : nSlash == 0               ? std::string("/")
                                                           : strPath.substr(0, nSlash);
    struct statfs sf;
    if (::statfs(strDir.c_str(), &sf) != 0) return false;
    const unsigned long nMagic = static_cast<unsigned long>(sf.f_type) & 0xFFFFFFFFul;
    if (const char* szName = NameOfMagic(nMagic)) {
      *pName = szName;
    } else {
      char szHex[24];
      std::snprintf(szHex, sizeof szHex, "0x%lx", nMagic);
      *pName = szHex;
    }
    return true;
  }
};

}  // namespace

CFileSystem& GetNativeFileSystem() {
  static CPosixFileSystem s_FileSystem;
  return s_FileSystem;
}

}  // namespace vantor
