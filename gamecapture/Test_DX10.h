// The DXGI method-table probe: where the swap chain's Present and ResizeBuffers lie
// inside dxgi.dll, stored into sg_Dll as offsets from the library's base. It needs the
// Direct3D 10 runtime for a device. Windows-only; both programs run it.
#pragma once
#include <windows.h>
#include <dxgi.h>

namespace vantor {

// Creates a throw-away device and swap chain on a hidden window of its own and stores
// the two offsets; true once both are stored. hWnd (may be null) only gives the
// buffers' size. Leaves nothing loaded or created.
bool TestDX10(HWND hWnd);

// The probe's swap chain: buffers the size of hWnd's client area (0 x 0 without a
// window, which lets the system size them from hOutput), presented into hOutput.
DXGI_SWAP_CHAIN_DESC MakeProbeSwapChainDesc(HWND hWnd, HWND hOutput);

}  // namespace vantor
