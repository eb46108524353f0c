#include "app/FolderTree.h"

#include "platform/Folders.h"
#include "platform/Text.h"

namespace vantor {
namespace {

// The tree's rules count wide characters, as Windows does; the seam gets UTF-8.
bool Exists(const std::wstring& strPath) { return FolderExists(Utf8FromWide(strPath)); }

}  // namespace

bool CreateFolderTree(const std::wstring& strPathIn) {
  if (strPathIn.size() < 2) return false;
  std::wstring strPath = strPathIn;
  if (strPath.back() == L'\\') strPath.pop_back();
  if (strPath.size() <= 3) return Exists(strPath);
  if (Exists(strPath)) return true;
  const std::size_t nSlash = strPath.rfind(L'\\');
  if (nSlash == std::wstring::npos) return false;
  if (!CreateFolderTree(strPath.substr(0, nSlash))) return false;
  return CreateFolder(Utf8FromWide(strPath));
}

}  // namespace vantor
