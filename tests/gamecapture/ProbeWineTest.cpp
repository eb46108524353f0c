// The Direct3D method-table probes on Wine's Direct3D (wined3d over Mesa's software
// renderer): what they store, that other processes find the same, and what happens
// without the Direct3D 10 runtime or without a device.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "ChildProcess.h"
#include "Ostrel/Ostrel.h"
#include "gamecapture/Test_DX10.h"
#include "gamecapture/Test_DX9.h"
#include "platform/win32/Owners.h"

namespace vantor {
namespace {

struct Stored {
  ULONG_PTR d3d9Present, d3d9Reset, d3d9SwapPresent, dxgiPresent, dxgiResize;
  bool operator==(const Stored&) const = default;
};

Stored ReadStored() {
  return {sg_Dll.m_nD3D9Present, sg_Dll.m_nD3D9Reset, sg_Dll.m_nD3D9SwapChainPresent, sg_Dll.m_nDXGIPresent,
          sg_Dll.m_nDXGIResizeBuffers};
}

void ClearStored() {
  sg_Dll.m_nD3D9Present = sg_Dll.m_nD3D9Reset = sg_Dll.m_nD3D9SwapChainPresent = 0;
  sg_Dll.m_nDXGIPresent = sg_Dll.m_nDXGIResizeBuffers = 0;
}

DWORD ImageSize(HMODULE hModule) {
  const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(hModule);
  const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(hModule) + pDos->e_lfanew);
  return pNt->OptionalHeader.SizeOfImage;
}

CWindowHandle MakeWindow(int nWidth, int nHeight) {
  RECT rc = {0, 0, nWidth, nHeight};
  AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
  return CWindowHandle(CreateWindowExA(0, "STATIC", "probe test", WS_OVERLAPPEDWINDOW, 0, 0, rc.right - rc.left,
                                       rc.bottom - rc.top, nullptr, nullptr, nullptr, nullptr));
}

// Both probes in a new process running the probe tool under the given file name.
Stored ProbeInChild(const std::wstring& strProgram, bool* pDX9, bool* pDX10) {
  test::CChildProcess child;
  EXPECT_TRUE(child.Start(L"\"" + test::TestProgramFolder() + strProgram + L"\""));
  Stored stored = {};
  int nDX9 = -1;
  int nDX10 = -1;
  unsigned long long a = 0, b = 0, c = 0;
  const std::string strDX9 = child.ReadLine();
  EXPECT_EQ(std::sscanf(strDX9.c_str(), "dx9 %d %llx %llx %llx", &nDX9, &a, &b, &c), 4) << strDX9;
  stored.d3d9Present = a;
  stored.d3d9Reset = b;
  stored.d3d9SwapPresent = c;
  const std::string strDX10 = child.ReadLine();
  EXPECT_EQ(std::sscanf(strDX10.c_str(), "dx10 %d %llx %llx", &nDX10, &a, &b), 3) << strDX10;
  stored.dxgiPresent = a;
  stored.dxgiResize = b;
  *pDX9 = nDX9 == 1;
  *pDX10 = nDX10 == 1;
  return stored;
}

TEST(Probes, StoreEveryOffsetInsideItsLibrary) {
  // Held for the test, so the probes load the same images whose sizes are read here.
  const CModuleRef d3d9(LoadLibraryA("d3d9.dll"));
  const CModuleRef dxgi(LoadLibraryA("dxgi.dll"));
  ASSERT_TRUE(d3d9 && dxgi);
  const CWindowHandle window = MakeWindow(320, 240);
  ClearStored();

  ASSERT_TRUE(TestDX9(window.get()));
  Stored stored = ReadStored();
  const ULONG_PTR nD3D9Size = ImageSize(d3d9.get());
  for (ULONG_PTR nOffset : {stored.d3d9Present, stored.d3d9Reset, stored.d3d9SwapPresent}) {
    EXPECT_NE(nOffset, 0u);
    EXPECT_LT(nOffset, nD3D9Size);
  }
  EXPECT_NE(stored.d3d9Present, stored.d3d9Reset);
  EXPECT_EQ(stored.dxgiPresent, 0u);

  ASSERT_TRUE(TestDX10(window.get()));
  stored = ReadStored();
  const ULONG_PTR nDxgiSize = ImageSize(dxgi.get());
  for (ULONG_PTR nOffset : {stored.dxgiPresent, stored.dxgiResize}) {
    EXPECT_NE(nOffset, 0u);
    EXPECT_LT(nOffset, nDxgiSize);
  }
  EXPECT_NE(stored.dxgiPresent, stored.dxgiResize);

  // Without a window the buffers are sized from the probe's own: the same methods.
  ClearStored();
  ASSERT_TRUE(TestDX10(nullptr));
  EXPECT_EQ(ReadStored().dxgiPresent, stored.dxgiPresent);
  EXPECT_EQ(ReadStored().dxgiResize, stored.dxgiResize);
}

TEST(Probes, LeaveNothingLoaded) {
  const CWindowHandle window = MakeWindow(320, 240);
  ASSERT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
  ASSERT_TRUE(TestDX9(window.get()));
  ASSERT_TRUE(TestDX10(window.get()));
  EXPECT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleA("d3d10.dll"), nullptr);
  // dxgi.dll may stay: Wine's Direct3D 10 runtime loads d3d11.dll, which keeps itself and
  // dxgi.dll loaded once it has made a device; the probe's own reference is given back.
}

TEST(Probes, ADeviceThatCannotBeMadeStoresNothing) {
  // No focus window and no device window: Direct3D 9 refuses the device.
  ClearStored();
  EXPECT_FALSE(TestDX9(nullptr));
  EXPECT_EQ(ReadStored(), Stored{});
}

TEST(Probes, TheSwapChainIsSizedByTheGivenWindow) {
  const CWindowHandle window = MakeWindow(300, 200);
  const CWindowHandle output = MakeWindow(640, 480);
  const DXGI_SWAP_CHAIN_DESC sized = MakeProbeSwapChainDesc(window.get(), output.get());
  EXPECT_EQ(sized.BufferDesc.Width, 300u);
  EXPECT_EQ(sized.BufferDesc.Height, 200u);
  EXPECT_EQ(sized.OutputWindow, output.get());

  const DXGI_SWAP_CHAIN_DESC unsized = MakeProbeSwapChainDesc(nullptr, output.get());
  EXPECT_EQ(unsized.BufferDesc.Width, 0u);
  EXPECT_EQ(unsized.BufferDesc.Height, 0u);
  EXPECT_EQ(unsized.BufferDesc.Format, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
  EXPECT_EQ(unsized.BufferCount, 2u);
  EXPECT_EQ(unsized.BufferUsage, static_cast<DXGI_USAGE>(0x20));
  EXPECT_TRUE(unsized.Windowed);
}

TEST(Probes, AnotherProcessStoresTheSameValues) {
  const CWindowHandle window = MakeWindow(320, 240);
  ClearStored();
  ASSERT_TRUE(TestDX9(window.get()));
  ASSERT_TRUE(TestDX10(window.get()));
  const Stored here = ReadStored();

  bool bDX9 = false;
  bool bDX10 = false;
  const Stored there = ProbeInChild(L"gamecapture_probe_tool.exe", &bDX9, &bDX10);
  EXPECT_TRUE(bDX9);
  EXPECT_TRUE(bDX10);
  EXPECT_EQ(there, here);
}

TEST(Probes, WithoutDirect3D10OnlyTheDirect3D9ValuesAreStored) {
  const CWindowHandle window = MakeWindow(320, 240);
  ASSERT_TRUE(TestDX9(window.get()));
  const Stored here = ReadStored();

  // A program of that name may not load d3d10.dll: Wine's per-program DLL overrides. (A
  // child does not take WINEDLLOVERRIDES from the environment block it is given.)
  const std::wstring strProgram = L"gamecapture_probe_nod3d10.exe";
  const std::wstring strFolder = test::TestProgramFolder();
  ASSERT_TRUE(CopyFileW((strFolder + L"gamecapture_probe_tool.exe").c_str(), (strFolder + strProgram).c_str(), FALSE));
  HKEY hKey = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\Wine\\AppDefaults\\" + strProgram + L"\\DllOverrides").c_str(),
                            0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(hKey, L"d3d10", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
  RegCloseKey(hKey);

  bool bDX9 = false;
  bool bDX10 = true;
  const Stored there = ProbeInChild(strProgram, &bDX9, &bDX10);
  EXPECT_TRUE(bDX9);
  EXPECT_FALSE(bDX10);
  EXPECT_EQ(there.d3d9Present, here.d3d9Present);
  EXPECT_EQ(there.d3d9Reset, here.d3d9Reset);
  EXPECT_EQ(there.d3d9SwapPresent, here.d3d9SwapPresent);
  EXPECT_EQ(there.dxgiPresent, 0u);
  EXPECT_EQ(there.dxgiResize, 0u);
}

}  // namespace
}  // namespace vantor
