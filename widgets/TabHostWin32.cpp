#include "widgets/TabHost.h"

#include <commctrl.h>

namespace vantor {

bool CTabHost::Create(HWND hParent, UINT nId) {
  HWND hTab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0,
                              0, hParent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nId)),
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hParent, GWLP_HINSTANCE)), nullptr);
  if (!hTab) return false;
  if (!Attach(hTab)) {
    DestroyWindow(hTab);
    return false;
  }
  return true;
}

void CTabHost::SetDisplayOptions() {
  if (!m_hWnd) return;
  SendMessageW(m_hWnd, WM_SETFONT, SendMessageW(GetParent(m_hWnd), WM_GETFONT, 0, 0), TRUE);
  SendMessageW(m_hWnd, TCM_SETPADDING, 0, MAKELPARAM(10, 4));
  LayoutPages();
}

int CTabHost::AddPage(HWND hPage, const std::wstring& strLabel) {
  if (!m_hWnd || !hPage || FindPage(hPage) >= 0) return -1;
  TCITEMW item = {};
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = const_cast<wchar_t*>(strLabel.c_str());
  item.lParam = reinterpret_cast<LPARAM>(hPage);
  const int nIndex = static_cast<int>(
      SendMessageW(m_hWnd, TCM_INSERTITEMW, static_cast<WPARAM>(get_PageCount()), reinterpret_cast<LPARAM>(&item)));
  if (nIndex < 0) return -1;
  // A tab control selects its first tab by itself; the pages follow its choice.
  LayoutPages();
  ShowSelectedPage();
  return nIndex;
}

int CTabHost::FindPage(HWND hPage) const {
  const int nCount = get_PageCount();
  for (int i = 0; i < nCount; ++i) {
    if (get_Page(i) == hPage) return i;
  }
  return -1;
}

int CTabHost::get_PageCount() const {
  return m_hWnd ? static_cast<int>(SendMessageW(m_hWnd, TCM_GETITEMCOUNT, 0, 0)) : 0;
}

HWND CTabHost::get_Page(int nIndex) const {
  TCITEMW item = {};
  item.mask = TCIF_PARAM;
  if (!m_hWnd || !SendMessageW(m_hWnd, TCM_GETITEMW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&item))) {
    return nullptr;
  }
  return reinterpret_cast<HWND>(item.lParam);
}

int CTabHost::get_Selected() const {
  return m_hWnd ? static_cast<int>(SendMessageW(m_hWnd, TCM_GETCURSEL, 0, 0)) : -1;
}

void CTabHost::SelectPage(int nIndex) {
  if (!m_hWnd || nIndex < 0 || nIndex >= get_PageCount()) return;
  SendMessageW(m_hWnd, TCM_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
  ShowSelectedPage();
}

void CTabHost::ShowSelectedPage() {
  const int nSelected = get_Selected();
  const int nCount = get_PageCount();
  // Hide first, then show: never two pages at once.
  for (int i = 0; i < nCount; ++i) {
    if (i != nSelected) ShowWindow(get_Page(i), SW_HIDE);
  }
  if (HWND hPage = get_Page(nSelected)) ShowWindow(hPage, SW_SHOW);
}

void CTabHost::MoveTo(const RECT& rc) {
  if (!m_hWnd) return;
  MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
  LayoutPages();
}

RECT CTabHost::get_DisplayArea() const {
  RECT rc = {};
  if (!m_hWnd) return rc;
  GetClientRect(m_hWnd, &rc);
  SendMessageW(m_hWnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
  // An empty control gives an upside-down area; the pages then have no room at all.
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  return rc;
}

void CTabHost::LayoutPages() {
  const RECT rc = get_DisplayArea();
  const int nCount = get_PageCount();
  for (int i = 0; i < nCount; ++i) {
    SetWindowPos(get_Page(i), nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

LRESULT CTabHost::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  const LRESULT nResult = Default(uMsg, wParam, lParam);
  if (uMsg == WM_SIZE || uMsg == WM_SETFONT) LayoutPages();
  return nResult;
}

bool CTabHost::OnParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) {
  if (uMsg != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->code != TCN_SELCHANGE) return false;
  ShowSelectedPage();
  *pResult = 0;
  return true;
}

}  // namespace vantor
