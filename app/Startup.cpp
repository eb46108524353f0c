#include "app/Startup.h"

#include "app/Ini.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace vantor {

std::wstring ChooseLanguageFile(const std::wstring& strProgramFolder) {
  const std::wstring strConfig = strProgramFolder + L"Config.ini";
  if (!FileExists(Utf8FromWide(strConfig))) return strProgramFolder + L"Language\\English.ini";
  CIni ini;
  ini.SetPath(strConfig);
  const std::wstring strName = ini.GetString(L"Language", L"English", L"System");
  return strProgramFolder + L"Language\\" + strName + L".ini";
}

}  // namespace vantor
