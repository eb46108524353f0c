// Folders, for the output folder of recordings. Paths are UTF-8 and follow the rules of
// Paths.h (natively a backslash separates folders too).
#pragma once
#include <string>

namespace vantor {

bool FolderExists(const std::string& strPath);
// Creates one folder whose parent exists; false when it cannot (or it already exists).
bool CreateFolder(const std::string& strPath);

}  // namespace vantor
