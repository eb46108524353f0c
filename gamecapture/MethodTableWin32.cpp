#include "gamecapture/MethodTable.h"

#include "Ostrel/Ostrel.h"

namespace vantor {

void** MethodTableOf(void* pObject, const char* pszUnit, int nLine) {
  void** pVTable = pObject ? *static_cast<void***>(pObject) : nullptr;
#if defined(_WIN64)
  if (!pVTable && g_pLog) g_pLog->Assert_CheckFail("pVTable", pszUnit, nLine);
#endif
  return pVTable;
}

}  // namespace vantor
