// The DXGI method-table probe (placeholder until the probe itself arrives).
#pragma once
#include <windows.h>

namespace vantor {

// True once the DXGI swap chain's Present and ResizeBuffers offsets are stored in
// sg_Dll; the window may be absent.
bool TestDX10(HWND hWnd);

}  // namespace vantor
