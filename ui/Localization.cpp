#include "ui/Localization.h"

#include <iterator>

#include "app/Globals.h"
#include "ui/LanguageText.h"

namespace vantor {
namespace {

// The text of a key as the file holds it, cut to kLangTextChars. The buffer takes one
// character more than is kept, so that the cut is CutLangText's, which never splits a
// surrogate pair.
std::wstring ReadLangText(const wchar_t* pszKey) {
  if (g_strLanguageFile.empty()) return {};
  wchar_t szText[kLangTextChars + 2] = {};
  GetPrivateProfileStringW(L"String", pszKey, L"", szText, static_cast<DWORD>(std::size(szText)),
                           g_strLanguageFile.c_str());
  return CutLangText(szText);
}

// The width of the text in the font the control draws it with: its own, else the
// dialog's, else the context's default.
int MeasureTextWidth(HDC hDC, HWND hDlg, HWND hControl, const std::wstring& strText) {
  HFONT hFont = reinterpret_cast<HFONT>(SendMessageW(hControl, WM_GETFONT, 0, 0));
  if (!hFont) hFont = reinterpret_cast<HFONT>(SendMessageW(hDlg, WM_GETFONT, 0, 0));
  HGDIOBJ hOldFont = hFont ? SelectObject(hDC, hFont) : nullptr;
  SIZE size = {};
  GetTextExtentPoint32W(hDC, strText.c_str(), static_cast<int>(strText.size()), &size);
  if (hOldFont) SelectObject(hDC, hOldFont);
  return size.cx;
}

}  // namespace

std::wstring LoadLangString(const wchar_t* pszKey) { return ExpandLangLineBreaks(ReadLangText(pszKey)); }

void LocalizeDialog(HWND hDlg, int nTemplateId) {
  const std::wstring strKey = DialogTitleLangKey(nTemplateId);
  const std::wstring strTitle = ReadLangText(strKey.c_str());
  if (!strTitle.empty()) SetWindowTextW(hDlg, strTitle.c_str());

  HDC hDC = GetDC(hDlg);
  // Direct children only: the pages inside the tab control localize themselves.
  for (HWND hChild = GetWindow(hDlg, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
    const wchar_t* pszKey = ControlLangKey(GetDlgCtrlID(hChild));
    if (!pszKey) continue;
    const std::wstring strText = ReadLangText(pszKey);
    if (strText.empty()) continue;
    if (hDC) {
      const int nTextWidth = MeasureTextWidth(hDC, hDlg, hChild, strText);
      RECT rc = {};
      GetWindowRect(hChild, &rc);
      MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
      wchar_t szClass[64] = {};
      GetClassNameW(hChild, szClass, static_cast<int>(std::size(szClass)));
      if (const auto nWidth = LocalizedControlWidth(szClass, rc.right - rc.left, nTextWidth)) {
        MoveWindow(hChild, rc.left, rc.top, *nWidth, rc.bottom - rc.top, TRUE);
      }
    }
    SetWindowTextW(hChild, strText.c_str());
  }
  if (hDC) ReleaseDC(hDlg, hDC);
}

}  // namespace vantor
