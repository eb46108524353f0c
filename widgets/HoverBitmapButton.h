// A small owner-drawn button showing one picture that holds its states side by side:
// normal, under the mouse, pressed and, in a strip of four, locked. Magenta
// (255, 0, 255) in the picture is see-through: the parent's background shows there.
// A locked button takes no mouse clicks and shows its locked cell (or its normal one
// when the strip has none); unlike a disabled control it keeps its place in the tab
// order and its window state.
#pragma once
#include <windows.h>

#include "platform/win32/Owners.h"
#include "widgets/Widget.h"

namespace vantor {

class CHoverBitmapButton : public CWidget {
 public:
  // The picture from the module's bitmap resources, with nStates cells of equal width.
  bool LoadStrip(HINSTANCE hInstance, UINT nBitmapId, int nStates = 3);

  bool IsHovered() const { return m_hover.IsHovered(); }

  void SetLocked(bool bLocked);
  bool IsLocked() const { return m_bLocked; }

 protected:
  void OnAttached() override;
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool OnParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) override;

 private:
  void Draw(const DRAWITEMSTRUCT& item);

  CBitmap m_strip;
  int m_nStates = 1;
  SIZE m_size = {};
  CHoverTracker m_hover;
  bool m_bLocked = false;
};

}  // namespace vantor
