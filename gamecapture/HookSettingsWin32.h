// The hook library's settings, handed to it afresh: at the start of the program and
// at every cycle of the target watch, so that a changed Ostrel.ini reaches the next
// game. Windows-only.
#pragma once

namespace vantor {

// Reads the settings file, fixes its capture folder, copies it into sg_Config, loads
// the program's welcome text (its string resource 102) into sg_ProcStats and
// initialises the common controls, in that order. Failures keep what was there.
void RefreshHookSettings();

}  // namespace vantor
