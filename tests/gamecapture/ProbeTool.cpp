// Runs both probes in a process of its own and prints what they stored, so that a test
// can compare two processes and change the libraries a process may load.
//   dx9 <result> <device Present> <device Reset> <swap chain Present>
//   dx10 <result> <swap chain Present> <swap chain ResizeBuffers>
#include <windows.h>

#include <cstdio>

#include "Ostrel/Ostrel.h"
#include "gamecapture/Test_DX10.h"
#include "gamecapture/Test_DX9.h"

int main() {
  HWND hWnd = CreateWindowExA(0, "STATIC", "probe tool", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr, nullptr,
                              nullptr, nullptr);
  const bool bDX9 = vantor::TestDX9(hWnd);
  const bool bDX10 = vantor::TestDX10(hWnd);
  std::printf("dx9 %d %llx %llx %llx\n", bDX9 ? 1 : 0, static_cast<unsigned long long>(sg_Dll.m_nD3D9Present),
              static_cast<unsigned long long>(sg_Dll.m_nD3D9Reset),
              static_cast<unsigned long long>(sg_Dll.m_nD3D9SwapChainPresent));
  std::printf("dx10 %d %llx %llx\n", bDX10 ? 1 : 0, static_cast<unsigned long long>(sg_Dll.m_nDXGIPresent),
              static_cast<unsigned long long>(sg_Dll.m_nDXGIResizeBuffers));
  std::fflush(stdout);
  if (hWnd) DestroyWindow(hWnd);
  return 0;
}
