#include "gamecapture/Test_DX9.h"

#include <d3d9.h>

#include "Ostrel/Ostrel.h"
#include "Ostrel/Shared/CDllFile.h"
#include "Ostrel/Shared/IRefPtr.h"
#include "gamecapture/MethodTable.h"

namespace vantor {

namespace {

// The method-table slots, counted from 0 as the interfaces declare their methods.
constexpr int kDeviceResetSlot = 16;
constexpr int kDevicePresentSlot = 17;
constexpr int kSwapChainPresentSlot = 3;
// Where a missing table is reported from.
constexpr int kVTableCheckLine = 65;

constexpr UINT kSdkVersion = 32;
constexpr DWORD kSoftwareVertexProcessing = 0x20;

using PfnDirect3DCreate9 = IDirect3D9*(WINAPI*)(UINT);

}  // namespace

bool TestDX9(HWND hWnd) {
  // Declared first so that every interface below is released before it is unloaded.
  CDllFile d3d9;
  if (d3d9.LoadDll("d3d9") != 0) return false;
  const auto pfnCreate = reinterpret_cast<PfnDirect3DCreate9>(d3d9.GetProcAddress("Direct3DCreate9"));
  if (!pfnCreate) return false;

  IRefPtr<IDirect3D9> pD3D(pfnCreate(kSdkVersion));
  if (!pD3D) return false;
  D3DDISPLAYMODE mode = {};
  if (FAILED(pD3D->GetAdapterDisplayMode(0, &mode))) return false;

  // Width, height and device window stay zero: the focus window serves.
  D3DPRESENT_PARAMETERS params = {};
  params.BackBufferFormat = mode.Format;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.Windowed = TRUE;
  IRefPtr<IDirect3DDevice9> pDevice;
  if (FAILED(pD3D->CreateDevice(0, D3DDEVTYPE_HAL, hWnd, kSoftwareVertexProcessing, &params, &pDevice)) ||
      !pDevice) {
    return false;
  }
  void** pVTable = MethodTableOf(pDevice.get_Ptr(), "Test_DX9", kVTableCheckLine);
  if (!pVTable) return false;
  sg_Dll.m_nD3D9Present = MethodOffset(pVTable[kDevicePresentSlot], d3d9);
  sg_Dll.m_nD3D9Reset = MethodOffset(pVTable[kDeviceResetSlot], d3d9);

  IRefPtr<IDirect3DSwapChain9> pSwapChain;
  if (FAILED(pDevice->GetSwapChain(0, &pSwapChain)) || !pSwapChain) return false;
  pVTable = MethodTableOf(pSwapChain.get_Ptr(), "Test_DX9", kVTableCheckLine);
  if (!pVTable) return false;
  sg_Dll.m_nD3D9SwapChainPresent = MethodOffset(pVTable[kSwapChainPresentSlot], d3d9);

  pSwapChain.Reset();
  pDevice.Reset();
  pD3D.Reset();
  d3d9.FreeDll();
  return true;
}

}  // namespace vantor
