// The window a game is hooked through: the topmost top-level window of its process.
// Shared by target selection (32-bit side) and the 64-bit helper.
#pragma once
#include <windows.h>

#include <cstdint>

namespace vantor {

// The first top-level window, from the top of the Z order, that belongs to the
// process; null when it has none (or for process 0). Visible or not.
HWND FindProcessWindow(std::uint32_t nProcessId);

}  // namespace vantor
