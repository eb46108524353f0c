#include "app/FolderTree.h"

#include "platform/Folders.h"

namespace vantor {

bool CreateFolderTree(const std::wstring& strPathIn) {
  if (strPathIn.size() < 2) return false;
  std::wstring strPath = strPathIn;
  if (strPath.back() == L'\\') strPath.pop_back();
  if (strPath.size() <= 3) return FolderExists(strPath);
  if (FolderExists(strPath)) return true;
  const std::size_t nSlash = strPath.rfind(L'\\');
  if (nSlash == std::wstring::npos) return false;
  if (!CreateFolderTree(strPath.substr(0, nSlash))) return false;
  return CreateFolder(strPath);
}

}  // namespace vantor
