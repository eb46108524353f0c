// The Direct3D 9 method-table probe: where the device's Present and Reset and the
// swap chain's Present lie inside d3d9.dll, stored into sg_Dll as offsets from the
// library's base. Windows-only.
#pragma once
#include <windows.h>

namespace vantor {

// Creates a throw-away device with hWnd as its focus window and stores the three
// offsets; true once all three are stored. Leaves nothing loaded or created; a failed
// step keeps whatever was stored before it.
bool TestDX9(HWND hWnd);

}  // namespace vantor
