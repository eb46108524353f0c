// Where the library itself lives; internal to Ostrel.
#pragma once

#include <windows.h>

// This library's module handle (not the program's).
HMODULE OstrelModule();

// The library's folder with its trailing backslash; empty when the path does not
// fit (the caller then falls back to relative names).
void OstrelFolder(WCHAR (&szFolder)[MAX_PATH]);
