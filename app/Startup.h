// The start-up decisions that need no window: which language file to use.
#pragma once
#include <string>

namespace vantor {

// The language file for a program folder (with its trailing separator): the folder's
// "Language\English.ini" when there is no Config.ini; otherwise "Language\" + the
// [System] Language name + ".ini", where a missing key means "English" and an empty
// name gives "Language\.ini". Whether the language file exists is not checked.
std::wstring ChooseLanguageFile(const std::wstring& strProgramFolder);

}  // namespace vantor
