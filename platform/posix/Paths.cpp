// POSIX side of the path seam: backslashes become '/', wide text goes out as UTF-8.
#include "platform/Paths.h"
#include "platform/posix/NativePath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace vantor {
namespace {

void AppendUtf8(std::string* pOut, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    *pOut += static_cast<char>(c);
  } else if (c < 0x800) {
    *pOut += static_cast<char>(0xC0 | (c >> 6));
    *pOut += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *pOut += static_cast<char>(0xE0 | (c >> 12));
    *pOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *pOut += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *pOut += static_cast<char>(0xF0 | (c >> 18));
    *pOut += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *pOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *pOut += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Names the system hands back are UTF-8 as a rule; a byte that does not fit becomes
// U+FFFD rather than being dropped, so a strange name still reads as something.
std::wstring WideFromNative(const std::string& str) {
  std::wstring strOut;
  std::size_t i = 0;
  while (i < str.size()) {
    const unsigned char c = static_cast<unsigned char>(str[i]);
    std::size_t nMore;
    char32_t cp;
    if (c < 0x80) {
      nMore = 0, cp = c;
    } else if (c >= 0xC2 && c <= 0xDF) {
      nMore = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      nMore = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      nMore = 3, cp = c & 0x07;
    } else {
      strOut += L'\xFFFD';
      ++i;
      continue;
    }
    bool bOk = i + nMore < str.size();
    for (std::size_t k = 1; bOk && k <= nMore; ++k) {
      const unsigned char cc = static_cast<unsigned char>(str[i + k]);
      bOk = (cc & 0xC0) == 0x80;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (!bOk || cp < kMin[nMore] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      strOut += L'\xFFFD';
      ++i;
      continue;
    }
    strOut += static_cast<wchar_t>(cp);
    i += nMore + 1;
  }
  return strOut;
}

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

// The name the file system gets: UTF-8, every backslash a separator.
std::string NativePath(const std::wstring& strPath) {
  std::string strOut;
  strOut.reserve(strPath.size());
  for (wchar_t c : strPath) AppendUtf8(&strOut, c == L'\\' ? U'/' : static_cast<char32_t>(c));
  return strOut;
}

std::wstring GetCurrentDir() {
  std::vector<char> buf(256);
  for (;;) {
    if (::getcwd(buf.data(), buf.size()) != nullptr) return WideFromNative(buf.data());
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
}

std::wstring GetProgramPath() {
  std::vector<char> buf(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return WideFromNative(std::string(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

bool FileExists(const std::wstring& strPath) {
  struct stat st;
  return ::stat(NativePath(strPath).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

FileOpenResult ReadWholeFile(const std::wstring& strPath, bool bForUpdate, std::string* pBytes) {
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

bool WriteWholeFile(const std::wstring& strPath, std::string_view bytes) {
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
