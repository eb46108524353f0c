// The system page's language list without a window: which files of the Language
// folder become rows, the title a language file is known by, and which row stands for
// the language in use.
#pragma once
#include <string>
#include <vector>

namespace vantor {

// One entry of a folder listing.
struct FolderEntry {
  std::wstring strName;
  bool bFolder = false;
};

// A file's title: its name without folder and without the last extension
// ("C:\Vantor\Language\English.ini" gives "English", "Old.English.ini" "Old.English").
// Both separators count, so that the rule holds for any path the program is given.
std::wstring FileTitle(const std::wstring& strPath);

// The rows of the language list: the title of every file of the listing, in the
// listing's order (the list sorts them itself). Folders, and the "." and ".." entries a
// Windows listing starts with, are no languages.
std::vector<std::wstring> LanguageRows(const std::vector<FolderEntry>& entries);

// The row whose text is exactly strTitle (case counts: the name is stored as written
// and read back into a file path); -1 when there is none.
int FindLanguageRow(const std::vector<std::wstring>& rows, const std::wstring& strTitle);

}  // namespace vantor
