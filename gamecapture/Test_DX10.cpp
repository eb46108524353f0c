#include "gamecapture/Test_DX10.h"

namespace vantor {

// Stores nothing yet.
bool TestDX10(HWND) { return false; }

}  // namespace vantor
