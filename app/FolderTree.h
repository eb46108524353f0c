// Creating the output folder with every missing parent.
#pragma once
#include <string>

namespace vantor {

// Makes sure the folder exists, creating missing parents first. A path shorter than 2
// characters fails; a trailing backslash is ignored; a drive ("C:") succeeds only when
// it exists; a path without a backslash that does not exist fails. True when the
// folder exists at the end.
bool CreateFolderTree(const std::wstring& strPath);

}  // namespace vantor
