#include "platform/Folders.h"

#include <windows.h>

namespace vantor {

bool FolderExists(const std::wstring& strPath) {
  const DWORD dwAttributes = GetFileAttributesW(strPath.c_str());
  return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::wstring& strPath) {
  return CreateDirectoryW(strPath.c_str(), nullptr) != FALSE;
}

}  // namespace vantor
