// Win32 side of the folder seam: UTF-8 paths go to the wide API.
#include "platform/Folders.h"

#include <windows.h>

#include "platform/Text.h"

namespace vantor {

bool FolderExists(const std::string& strPath) {
  const DWORD dwAttributes = GetFileAttributesW(WideFromUtf8(strPath).c_str());
  return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::string& strPath) {
  return CreateDirectoryW(WideFromUtf8(strPath).c_str(), nullptr) != FALSE;
}

}  // namespace vantor
