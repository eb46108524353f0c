// UTF-8 text (the command line's, VantorRec's output) to the wide characters of the
// Windows API. The other direction is Utf8FromWide (media/AviRecorder.h).
#pragma once
#if defined(_WIN32)
#include <windows.h>

#include <string>

namespace vantor {

inline std::wstring WideFromUtf8(const std::string& str) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, str.data(), static_cast<int>(str.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, str.data(), static_cast<int>(str.size()), out.data(), n);
  return out;
}

}  // namespace vantor
#endif
