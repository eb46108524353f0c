// A small base for the program's dialogs: one class per dialog, virtual handlers,
// the object reached from the window through DWLP_USER. It paints the dialog's
// background (the skin for a top-level dialog, white for a page inside another
// window) and hands its children's drawing and notification messages to their
// widgets (widgets/Widget.h).
#pragma once
#include <windows.h>

#include "widgets/Backdrop.h"

namespace vantor {

class CDialogBase {
 public:
  explicit CDialogBase(UINT nTemplateId) : m_nTemplateId(nTemplateId) {}
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;
  virtual ~CDialogBase() = default;

  // Runs the dialog modally; returns what EndDialog was given, or -1 when the
  // template could not be loaded.
  INT_PTR DoModal(HINSTANCE hInstance, HWND hParent = nullptr);
  // Creates the dialog modeless as a child or owned window.
  HWND Create(HINSTANCE hInstance, HWND hParent);

  HWND get_Hwnd() const { return m_hWnd; }
  UINT get_TemplateId() const { return m_nTemplateId; }

  // The background; without a choice a child dialog is white, any other skinned.
  void SetBackdrop(Backdrop eBackdrop);

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnCommand(WORD wId, WORD wCode, HWND hControl) {}
  virtual void OnClose() { EndDialog(m_hWnd, IDCANCEL); }
  virtual void OnDestroy() {}
  // Any other message; return true when handled and set *pResult.
  virtual bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) { return false; }

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  Backdrop get_Backdrop() const;
  INT_PTR ControlColour(HDC hDC, HWND hControl);

  UINT m_nTemplateId;
  Backdrop m_eBackdrop = Backdrop::Skin;
  bool m_bBackdropChosen = false;
};

}  // namespace vantor
