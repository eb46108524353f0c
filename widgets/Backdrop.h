// The dialogs' backgrounds: the main window's skin (a soft vertical blend with a thin
// edge, as the window has no frame of its own) and the option pages' white; and the
// way a see-through control gets the background under it: its parent paints it.
#pragma once
#include <windows.h>

namespace vantor {

enum class Backdrop {
  Skin,   // top-level dialogs
  White,  // option pages inside the tab control
};

// Paints the whole of rcClient; bEdge adds the skin's one-pixel edge.
void PaintBackdrop(HDC hDC, const RECT& rcClient, Backdrop eBackdrop, bool bEdge);

// Paints what the parent shows under the child into hDC, in the child's client
// coordinates, by asking the parent to erase its background into hDC (a parent that
// paints its background on WM_ERASEBKGND, as CDialogBase does).
void PaintParentBackground(HWND hChild, HDC hDC);

}  // namespace vantor
