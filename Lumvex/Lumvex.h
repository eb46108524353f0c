// Lumvex: reports the current mouse cursor to a window while a recording runs.
//
// While installed, the library sends uMsg to hWnd with the system's current cursor
// handle (GetCursorInfo, so other programs' cursor shapes count) in wParam and 0
// in lParam: once at install, then whenever the cursor handle changes or the
// pointer moves. Reports come from a thread of the library and are sent, so the
// window's thread must keep pumping messages.
#pragma once

#include <windows.h>

#if defined(LUMVEX_BUILD)
#define LUMVEX_API __declspec(dllexport)
#else
#define LUMVEX_API __declspec(dllimport)
#endif

// Starts reporting to hWnd, replacing any earlier window. False for a missing
// window or message 0, or when the reporting thread cannot start.
LUMVEX_API bool InstallOstrel(HWND hWnd, UINT uMsg);

// Stops reporting to hWnd (a null hWnd stops whatever is installed). When it
// returns, no further report arrives. False when hWnd was not being reported to.
// Call it from the reported window's thread, or while that thread pumps messages.
LUMVEX_API bool UninstallOstrel(HWND hWnd);
