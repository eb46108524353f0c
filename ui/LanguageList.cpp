#include "ui/LanguageList.h"

namespace vantor {

std::wstring FileTitle(const std::wstring& strPath) {
  const std::size_t nSlash = strPath.find_last_of(L"\\/");
  std::wstring strName = nSlash == std::wstring::npos ? strPath : strPath.substr(nSlash + 1);
  const std::size_t nDot = strName.rfind(L'.');
  if (nDot != std::wstring::npos) strName.erase(nDot);
  return strName;
}

std::vector<std::wstring> LanguageRows(const std::vector<FolderEntry>& entries) {
  std::vector<std::wstring> rows;
  for (const FolderEntry& entry : entries) {
    if (entry.bFolder || entry.strName == L"." || entry.strName == L"..") continue;
    rows.push_back(FileTitle(entry.strName));
  }
  return rows;
}

int FindLanguageRow(const std::vector<std::wstring>& rows, const std::wstring& strTitle) {
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i] == strTitle) return static_cast<int>(i);
  return -1;
}

}  // namespace vantor
