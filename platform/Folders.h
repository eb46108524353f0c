// Folders, for the output folder of recordings. Paths follow the rules of Paths.h
// (natively a backslash separates folders).
#pragma once
#include <string>

namespace vantor {

bool FolderExists(const std::wstring& strPath);
// Creates one folder whose parent exists; false when it cannot (or it already exists).
bool CreateFolder(const std::wstring& strPath);

}  // namespace vantor
