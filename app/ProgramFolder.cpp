#include "app/ProgramFolder.h"

#include "platform/Paths.h"
#include "platform/Text.h"

namespace vantor {

std::wstring ProgramFolderFromPath(const std::wstring& strModulePath) {
  const std::size_t nSep = strModulePath.find_last_of(L"\\/");
  return nSep == std::wstring::npos ? std::wstring() : strModulePath.substr(0, nSep + 1);
}

std::wstring GetProgramFolder() { return ProgramFolderFromPath(WideFromUtf8(GetProgramPath())); }

}  // namespace vantor
