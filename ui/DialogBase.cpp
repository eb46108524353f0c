#include "ui/DialogBase.h"

namespace vantor {

INT_PTR CDialogBase::DoModal(HINSTANCE hInstance, HWND hParent) {
  return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(m_nTemplateId), hParent, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

HWND CDialogBase::Create(HINSTANCE hInstance, HWND hParent) {
  return CreateDialogParamW(hInstance, MAKEINTRESOURCEW(m_nTemplateId), hParent, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CDialogBase* pThis;
  if (uMsg == WM_INITDIALOG) {
    pThis = reinterpret_cast<CDialogBase*>(lParam);
    pThis->m_hWnd = hWnd;
    SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
  } else {
    pThis = reinterpret_cast<CDialogBase*>(GetWindowLongPtrW(hWnd, DWLP_USER));
  }
  if (!pThis) return FALSE;
  const INT_PTR nResult = pThis->HandleMessage(uMsg, wParam, lParam);
  if (uMsg == WM_NCDESTROY) {
    SetWindowLongPtrW(hWnd, DWLP_USER, 0);
    pThis->m_hWnd = nullptr;
  }
  return nResult;
}

INT_PTR CDialogBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  INT_PTR nResult = 0;
  if (OnMessage(uMsg, wParam, lParam, &nResult)) return nResult;
  switch (uMsg) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace vantor
