// How wide Windows-style paths reach the POSIX file system: UTF-8, every backslash a
// folder separator.
#pragma once
#include <string>

namespace vantor {

std::string NativePath(const std::wstring& strPath);

}  // namespace vantor
