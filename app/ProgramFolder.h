// The program folder: where Config.ini, the Language folder and the 64-bit helper live.
#pragma once
#include <string>

namespace vantor {

// The folder part of a module path, cut just after its last separator so that the
// trailing backslash stays: "C:\Vantor\Vantor.exe" gives "C:\Vantor\". Windows module
// paths use backslashes only; '/' is accepted as well so that native paths work.
// A path without a separator gives an empty folder (files are then looked up relative
// to the current directory).
std::wstring ProgramFolderFromPath(const std::wstring& strModulePath);

// The running executable's folder, derived afresh on every call.
std::wstring GetProgramFolder();

}  // namespace vantor
