#include "ui/DialogBase.h"

#include "widgets/Widget.h"

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

void CDialogBase::SetBackdrop(Backdrop eBackdrop) {
  m_eBackdrop = eBackdrop;
  m_bBackdropChosen = true;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
}

Backdrop CDialogBase::get_Backdrop() const {
  if (m_bBackdropChosen) return m_eBackdrop;
  return (GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_CHILD) ? Backdrop::White : Backdrop::Skin;
}

INT_PTR CDialogBase::ControlColour(HDC hDC, HWND hControl) {
  if (get_Backdrop() == Backdrop::White) {
    // Labels, check boxes and radio buttons on a page: on white.
    SetBkColor(hDC, RGB(255, 255, 255));
    return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
  }
  wchar_t szClass[16] = {};
  GetClassNameW(hControl, szClass, 16);
  if (lstrcmpiW(szClass, L"Static") != 0) return FALSE;
  // A fixed label or icon on the skin: drawn over the background already painted.
  // A label whose text changes is a CTransparentLabel, which paints its own.
  SetBkMode(hDC, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

INT_PTR CDialogBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  INT_PTR nResult = 0;
  if (OnMessage(uMsg, wParam, lParam, &nResult)) return nResult;
  if (CWidget::ReflectToWidget(uMsg, wParam, lParam, &nResult)) {
    if (uMsg == WM_NOTIFY) {
      SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, nResult);
      return TRUE;
    }
    return nResult;
  }
  switch (uMsg) {
    case WM_ERASEBKGND: {
      RECT rc = {};
      GetClientRect(m_hWnd, &rc);
      const Backdrop eBackdrop = get_Backdrop();
      // The skinned window has no frame of its own: the skin draws its edge.
      PaintBackdrop(reinterpret_cast<HDC>(wParam), rc, eBackdrop, eBackdrop == Backdrop::Skin);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return ControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
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
