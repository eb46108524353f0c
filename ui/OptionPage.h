// What every option page does with the main dialog: a page lives inside the tab
// control, so the main dialog is its grandparent.
#pragma once
#include <windows.h>

namespace vantor {

// Has the main dialog take the pages' current values and save them
// (WM_USER_APPLY_MSG); returns once that is done.
void SendApplyToMainDialog(HWND hPage);

// The main dialog, which the pages act on directly (always on top).
inline HWND MainDialogOf(HWND hPage) { return GetParent(GetParent(hPage)); }

}  // namespace vantor
