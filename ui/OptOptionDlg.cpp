#include "ui/OptOptionDlg.h"

#include <vector>

#include "app/Globals.h"
#include "app/ProgramFolder.h"
#include "platform/win32/Owners.h"
#include "ui/LanguageList.h"
#include "ui/Localization.h"
#include "ui/OptionPage.h"
#include "ui/resource.h"

namespace vantor {

namespace {

std::vector<FolderEntry> ListFolder(const std::wstring& strPattern) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAW data{};
  const CFindHandle hFind(FindFirstFileW(strPattern.c_str(), &data));
  if (!hFind) return entries;
  do {
    entries.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(hFind.get(), &data));
  return entries;
}

std::wstring RowText(HWND hList, LRESULT nRow) {
  const LRESULT nLength = SendMessageW(hList, CB_GETLBTEXTLEN, static_cast<WPARAM>(nRow), 0);
  if (nLength == CB_ERR) return {};
  std::wstring strText(static_cast<std::size_t>(nLength) + 1, L'\0');
  const LRESULT nCopied =
      SendMessageW(hList, CB_GETLBTEXT, static_cast<WPARAM>(nRow), reinterpret_cast<LPARAM>(strText.data()));
  strText.resize(nCopied == CB_ERR ? 0 : static_cast<std::size_t>(nCopied));
  return strText;
}

// The program's default title, which the restart message carries as its caption.
std::wstring ProgramTitle() {
  wchar_t szPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  return FileTitle(szPath);
}

}  // namespace

COptOptionDlg::COptOptionDlg() : CDialogBase(IDD_OPT_SYSTEM) {}

BOOL COptOptionDlg::OnInitDialog() {
  m_label.AttachDlgItem(m_hWnd, IDC_LANGUAGE_LABEL);
  FillLanguageList();
  LocalizeDialog(m_hWnd, IDD_OPT_SYSTEM);
  return TRUE;
}

void COptOptionDlg::FillLanguageList() {
  HWND hList = GetDlgItem(m_hWnd, IDC_LANGUAGE_LIST);
  for (const std::wstring& strTitle : LanguageRows(ListFolder(GetProgramFolder() + L"Language\\*.*")))
    SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(strTitle.c_str()));
  // The list has sorted the rows: the language in use is looked up in its order.
  std::vector<std::wstring> rows;
  const LRESULT nRows = SendMessageW(hList, CB_GETCOUNT, 0, 0);
  for (LRESULT nRow = 0; nRow < nRows; ++nRow) rows.push_back(RowText(hList, nRow));
  const int nRow = FindLanguageRow(rows, FileTitle(g_strLanguageFile));
  SendMessageW(hList, CB_SETCURSEL, static_cast<WPARAM>(nRow), 0);
  m_strChosenLanguage = nRow < 0 ? std::wstring() : rows[static_cast<std::size_t>(nRow)];
  // With no row for the language in use, any choice is a change of language.
  m_nLanguageRow = nRow;
}

void COptOptionDlg::set_WndTop(std::int32_t bWndTop) {
  m_bWndTop = bWndTop ? 1 : 0;
  SendDlgItemMessageW(m_hWnd, IDC_WND_TOP, BM_SETCHECK, m_bWndTop ? BST_CHECKED : BST_UNCHECKED, 0);
}

void COptOptionDlg::OnCommand(WORD wId, WORD wCode, HWND /*hControl*/) {
  if (wId == IDC_WND_TOP && wCode == BN_CLICKED) {
    OnWndTopClicked();
  } else if (wId == IDC_LANGUAGE_LIST && wCode == CBN_SELCHANGE) {
    OnLanguageChanged();
  }
}

void COptOptionDlg::OnWndTopClicked() {
  m_bWndTop = SendDlgItemMessageW(m_hWnd, IDC_WND_TOP, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  // At once, and without an apply: the choice is saved with the next one.
  SetWindowPos(MainDialogOf(m_hWnd), m_bWndTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void COptOptionDlg::OnLanguageChanged() {
  HWND hList = GetDlgItem(m_hWnd, IDC_LANGUAGE_LIST);
  const LRESULT nRow = SendMessageW(hList, CB_GETCURSEL, 0, 0);
  if (nRow == CB_ERR) return;
  m_strChosenLanguage = RowText(hList, nRow);
  if (nRow == m_nLanguageRow) return;
  // The remembered row stays: every further change away from it asks again.
  const std::wstring strMessage = LoadLangString(L"RestartVantor");
  const std::wstring strCaption = ProgramTitle();
  MessageBoxW(m_hWnd, strMessage.c_str(), strCaption.c_str(), MB_OK);
}

}  // namespace vantor
