// How the seam's Windows-style paths reach the POSIX file system: the UTF-8 bytes
// unchanged, every backslash a folder separator.
#pragma once
#include <string>

namespace vantor {

std::string NativePath(const std::string& strPath);

}  // namespace vantor
