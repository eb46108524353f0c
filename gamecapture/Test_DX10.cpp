#include "gamecapture/Test_DX10.h"

#include <d3d10.h>

#include "Ostrel/Ostrel.h"
#include "Ostrel/Shared/CDllFile.h"
#include "Ostrel/Shared/IRefPtr.h"
#include "gamecapture/MethodTable.h"
#include "platform/win32/Owners.h"

namespace vantor {

namespace {

constexpr int kSwapChainPresentSlot = 8;
constexpr int kSwapChainResizeBuffersSlot = 13;
constexpr int kVTableCheckLine = 83;
constexpr UINT kSdkVersion = 29;

// IDXGIFactory, spelt out so that the probe needs no GUID library.
constexpr GUID kIidDxgiFactory = {0x7b7166ec, 0x21c7, 0x44ae, {0xb2, 0x1a, 0xc9, 0xae, 0x32, 0x1a, 0xe3, 0x69}};

using PfnCreateDXGIFactory = HRESULT(WINAPI*)(REFIID, void**);
using PfnD3D10CreateDeviceAndSwapChain = HRESULT(WINAPI*)(IDXGIAdapter*, D3D10_DRIVER_TYPE, HMODULE, UINT, UINT,
                                                          DXGI_SWAP_CHAIN_DESC*, IDXGISwapChain**, ID3D10Device**);

}  // namespace

DXGI_SWAP_CHAIN_DESC MakeProbeSwapChainDesc(HWND hWnd, HWND hOutput) {
  DXGI_SWAP_CHAIN_DESC desc = {};
  RECT rcClient = {};
  if (hWnd && GetClientRect(hWnd, &rcClient)) {
    desc.BufferDesc.Width = static_cast<UINT>(rcClient.right - rcClient.left);
    desc.BufferDesc.Height = static_cast<UINT>(rcClient.bottom - rcClient.top);
  }
  desc.BufferDesc.RefreshRate.Numerator = 60;
  desc.BufferDesc.RefreshRate.Denominator = 1;
  desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM_SRGB;
  desc.BufferDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED;
  desc.BufferDesc.Scaling = DXGI_MODE_SCALING_CENTERED;
  desc.SampleDesc.Count = 1;
  desc.SampleDesc.Quality = 0;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 2;
  desc.OutputWindow = hOutput;
  desc.Windowed = TRUE;
  desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
  desc.Flags = 0;
  return desc;
}

bool TestDX10(HWND hWnd) {
  // Destroyed in reverse: the hidden window, the factory, the adapter, the device and
  // the swap chain, then dxgi, then d3d10, as on the way out of a successful probe.
  CDllFile d3d10;
  CDllFile dxgi;
  IRefPtr<IDXGISwapChain> pSwapChain;
  IRefPtr<ID3D10Device> pDevice;
  IRefPtr<IDXGIAdapter> pAdapter;
  IRefPtr<IDXGIFactory> pFactory;
  CWindowHandle hidden;

  if (d3d10.LoadDll("d3d10") != 0) return false;
  if (dxgi.LoadDll("dxgi") != 0) return false;
  const auto pfnCreateFactory = reinterpret_cast<PfnCreateDXGIFactory>(dxgi.GetProcAddress("CreateDXGIFactory"));
  if (!pfnCreateFactory) return false;
  void* pFactoryObject = nullptr;
  pfnCreateFactory(kIidDxgiFactory, &pFactoryObject);
  pFactory.Attach(static_cast<IDXGIFactory*>(pFactoryObject));
  if (!pFactory) return false;

  // A window of the probe's own, never shown, so that no window of the program or of
  // a game gets a swap chain attached.
  hidden.Attach(CreateWindowExA(0, "STATIC", "DXGI Window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                                480, nullptr, nullptr, nullptr, nullptr));
  if (!hidden) return false;
  if (FAILED(pFactory->EnumAdapters(0, &pAdapter)) || !pAdapter) return false;

  const auto pfnCreateDevice =
      reinterpret_cast<PfnD3D10CreateDeviceAndSwapChain>(d3d10.GetProcAddress("D3D10CreateDeviceAndSwapChain"));
  if (!pfnCreateDevice) return false;
  DXGI_SWAP_CHAIN_DESC desc = MakeProbeSwapChainDesc(hWnd, hidden.get());
  // Success is both objects, whatever the result code says.
  pfnCreateDevice(pAdapter, D3D10_DRIVER_TYPE_HARDWARE, nullptr, 0, kSdkVersion, &desc, &pSwapChain, &pDevice);
  if (!pSwapChain || !pDevice) return false;

  void** pVTable = MethodTableOf(pSwapChain.get_Ptr(), "Test_DX10", kVTableCheckLine);
  if (!pVTable) return false;
  sg_Dll.m_nDXGIPresent = MethodOffset(pVTable[kSwapChainPresentSlot], dxgi);
  sg_Dll.m_nDXGIResizeBuffers = MethodOffset(pVTable[kSwapChainResizeBuffersSlot], dxgi);

  hidden.Reset();
  pFactory.Reset();
  pAdapter.Reset();
  pDevice.Reset();
  pSwapChain.Reset();
  dxgi.FreeDll();
  d3d10.FreeDll();
  return true;
}

}  // namespace vantor
