#include "widgets/Widget.h"

#include <commctrl.h>

namespace vantor {
namespace {

// One subclass id for every widget: a control has at most one widget.
constexpr UINT_PTR kWidgetSubclassId = 0x56574454;  // "VWDT"
// The window property that leads from a control to its widget. (GetWindowSubclass
// would do, but the 64-bit MinGW import library of comctl32 lacks it.)
constexpr wchar_t kWidgetProperty[] = L"VantorWidget";

// The child a parent's message is about.
HWND ChildOfParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_DRAWITEM:
      return lParam ? reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_NOTIFY:
      return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<HWND>(lParam);
    default:
      return nullptr;
  }
}

}  // namespace

CWidget::~CWidget() { Detach(); }

bool CWidget::Attach(HWND hControl) {
  if (!hControl || m_hWnd || FromHandle(hControl)) return false;
  if (!SetPropW(hControl, kWidgetProperty, this)) return false;
  if (!SetWindowSubclass(hControl, SubclassProc, kWidgetSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    RemovePropW(hControl, kWidgetProperty);
    return false;
  }
  m_hWnd = hControl;
  OnAttached();
  return true;
}

void CWidget::Detach() {
  if (!m_hWnd) return;
  RemoveWindowSubclass(m_hWnd, SubclassProc, kWidgetSubclassId);
  RemovePropW(m_hWnd, kWidgetProperty);
  m_hWnd = nullptr;
}

CWidget* CWidget::FromHandle(HWND hControl) {
  return hControl ? static_cast<CWidget*>(GetPropW(hControl, kWidgetProperty)) : nullptr;
}

bool CWidget::ReflectToWidget(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) {
  CWidget* pWidget = FromHandle(ChildOfParentMessage(uMsg, wParam, lParam));
  return pWidget && pWidget->OnParentMessage(uMsg, wParam, lParam, pResult);
}

LRESULT CWidget::Default(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWidget::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR dwRefData) {
  auto* pThis = reinterpret_cast<CWidget*>(dwRefData);
  if (uMsg == WM_NCDESTROY) {
    // The control goes: the widget lets it go first, so nothing reaches a widget
    // that no longer has a window.
    pThis->Detach();
    return DefSubclassProc(hWnd, uMsg, wParam, lParam);
  }
  return pThis->OnMessage(uMsg, wParam, lParam);
}

bool CHoverTracker::Track(HWND hWnd, UINT uMsg) {
  if (uMsg == WM_MOUSEMOVE && !m_bHovered) {
    TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, hWnd, 0};
    TrackMouseEvent(&tme);
    m_bHovered = true;
    return true;
  }
  if (uMsg == WM_MOUSELEAVE && m_bHovered) {
    m_bHovered = false;
    return true;
  }
  return false;
}

}  // namespace vantor
