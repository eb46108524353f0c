// The program's texts from the active language file (g_strLanguageFile, section
// [String]). Dialog templates carry built-in texts that stay where the file has none;
// texts outside the templates (tab labels, tray menu, messages) come from the file
// only. The rules that need no window are in ui/LanguageText.h.
#pragma once
#include <windows.h>

#include <string>

namespace vantor {

// The [String] text of pszKey, with "\n" turned into line breaks; empty when the file
// or the key is missing. At most 999 characters.
std::wstring LoadLangString(const wchar_t* pszKey);

// Gives one dialog its texts: the window text from "IDD<nTemplateId>_Title", and each
// direct child the text of its key in the control key table (ui/LanguageText.h),
// with the width that text needs. Labels take the measured width, wider or narrower;
// other controls only grow. Texts are set as written ("\n" stays as it is). Run once,
// as the last step of a dialog's initialisation.
void LocalizeDialog(HWND hDlg, int nTemplateId);

}  // namespace vantor
