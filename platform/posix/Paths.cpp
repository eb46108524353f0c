// POSIX side of the path seam: backslashes become '/', the UTF-8 bytes go out as they are.
#include "platform/Paths.h"
#include "platform/posix/NativePath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace vantor {
namespace {

bool IsFolder(const std::string& strPath) {
  struct stat st;
  return ::stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ParentOf(const std::string& strPath) {
  const std::size_t nSlash = strPath.rfind('/');
  if (nSlash == std::string::npos) return ".";
  if (nSlash == 0) return "/";
  return strPath.substr(0, nSlash);
}

}  // namespace

// The name the file system gets: every backslash a separator.
std::string NativePath(const std::string& strPath) {
  std::string strOut = strPath;
  for (char& c : strOut) {
    if (c == '\\') c = '/';
  }
  return strOut;
}

std::string GetCurrentDir() {
  std::vector<char> buf(256);
  for (;;) {
    if (::getcwd(buf.data(), buf.size()) != nullptr) return buf.data();
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
}

std::string GetProgramPath() {
  std::vector<char> buf(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

bool FileExists(const std::string& strPath) {
  struct stat st;
  return ::stat(NativePath(strPath).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

FileOpenResult ReadWholeFile(const std::string& strPath, bool bForUpdate, std::string* pBytes) {
  pBytes->clear();
  const std::string strNative = NativePath(strPath);
  const int fd = ::open(strNative.c_str(), (bForUpdate ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT && IsFolder(ParentOf(strNative))) return FileOpenResult::kNotFound;
    return FileOpenResult::kFailed;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return FileOpenResult::kFailed;
  }
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof(buf));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      pBytes->clear();
      return FileOpenResult::kFailed;
    }
    if (n == 0) break;
    pBytes->append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return FileOpenResult::kOk;
}

bool WriteWholeFile(const std::string& strPath, std::string_view bytes) {
  const int fd = ::open(NativePath(strPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::size_t nDone = 0;
  while (nDone < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + nDone, bytes.size() - nDone);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return false;
    }
    nDone += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0;
}

}  // namespace vantor
