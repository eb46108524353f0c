// The About box (template 100): program icon, name, version and the project's links.
#pragma once
#include <windows.h>

namespace vantor {

// Shows the About box modally over hParent.
void ShowAboutBox(HWND hParent);

}  // namespace vantor
