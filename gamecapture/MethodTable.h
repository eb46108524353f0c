// Reading a COM object's method table, for the Direct3D probes. Windows-only.
#pragma once
#include <windows.h>

#include "Ostrel/Shared/CDllFile.h"

namespace vantor {

// The object's method table; null when there is none. In the 64-bit build a missing
// table is reported to the hook library's log as "pVTable" in the given unit and line.
void** MethodTableOf(void* pObject, const char* pszUnit, int nLine);

// A method's distance from the base of the library that holds it, in pointer width.
inline ULONG_PTR MethodOffset(void* pMethod, const CDllFile& library) {
  return reinterpret_cast<ULONG_PTR>(pMethod) - library.get_DllInt();
}

}  // namespace vantor
