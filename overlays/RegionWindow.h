// The region selection window: a borderless, topmost popup over the whole primary
// screen whose only content is the screen as it was when the window appeared, so the
// desktop stays visible under it (and still, while a selection lasts). The user
// drags out a rectangle with the left button; a hatched frame and a label with the
// rectangle's position and size follow the cursor. The release stores the rectangle in
// g_CaptureRect and hides the window; Esc hides it and leaves g_CaptureRect alone.
//
// Created once by the main dialog, hidden; the video options page shows it
// (SW_SHOWMAXIMIZED, then UpdateWindow) for each selection, and only the window hides
// itself. Everything here belongs to the user-interface thread.
#pragma once
#include <windows.h>

#include "base/CaptureRect.h"

namespace vantor {

// The window, from CreateRegionWindow on; never destroyed before the program ends.
extern HWND g_RegionWnd;

// Registers the class "ShiftRegionWindow" (the program's icon "QIRVAX", the cross-hair
// cursor, no background brush) and creates the hidden window over the screen, whose size
// it reads into g_ScreenWidth and g_ScreenHeight. Once: later calls keep the window
// there is. Returns 0; when the class cannot be registered there is no window.
int CreateRegionWindow();

LRESULT CALLBACK RegionWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Draws the frame of rc (screen coordinates, inclusive corners) on the window's device
// context hdc, whose logical coordinates are the screen's, and with withLabel set the
// label, saving the pixels under it first. The same call with withLabel 0 erases both
// again: the frame is inverted back and the saved pixels are put back. An empty
// rectangle draws nothing.
void DrawRegionFrame(HDC hdc, const CaptureRect& rc, int withLabel);

}  // namespace vantor
