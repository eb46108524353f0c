// The base of the widget kit's controls: a C++ object tied to one control window by
// subclassing it. The control's own messages reach OnMessage; the messages its parent
// gets about it (WM_DRAWITEM, WM_NOTIFY, WM_CTLCOLOR*) reach OnParentMessage once the
// parent hands them on with ReflectToWidget (CDialogBase does so for every dialog).
#pragma once
#include <windows.h>

namespace vantor {

class CWidget {
 public:
  CWidget() = default;
  CWidget(const CWidget&) = delete;
  CWidget& operator=(const CWidget&) = delete;
  virtual ~CWidget();

  // Takes over an existing control (from a dialog template, or one just created).
  // False when the control is missing or already has a widget.
  bool Attach(HWND hControl);
  bool AttachDlgItem(HWND hDlg, int nId) { return Attach(GetDlgItem(hDlg, nId)); }
  // Lets the control go; it behaves as a plain control again. Also done when the
  // control is destroyed and when the widget is.
  void Detach();

  HWND get_Hwnd() const { return m_hWnd; }

  // The widget of a control, or null.
  static CWidget* FromHandle(HWND hControl);
  // Hands a parent's message about one of its children to that child's widget.
  // True when the widget handled it; *pResult is then what the parent returns.
  static bool ReflectToWidget(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult);

 protected:
  // The control's messages; the default passes them to the control's own procedure.
  virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) { return Default(uMsg, wParam, lParam); }
  // The parent's messages about this control; true when handled.
  virtual bool OnParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) { return false; }
  // After Attach has subclassed the control.
  virtual void OnAttached() {}

  LRESULT Default(UINT uMsg, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR uId,
                                       DWORD_PTR dwRefData);
};

// Follows the mouse into and out of a control (WM_MOUSEMOVE, WM_MOUSELEAVE).
class CHoverTracker {
 public:
  // Call with every message of the control; true when the hover state changed.
  bool Track(HWND hWnd, UINT uMsg);
  bool IsHovered() const { return m_bHovered; }

 private:
  bool m_bHovered = false;
};

}  // namespace vantor
