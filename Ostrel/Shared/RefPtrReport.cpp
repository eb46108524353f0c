// The 64-bit programs' IRefPtr reports go to the hook library's log, g_pLog (looked up
// at each report, so that a log installed later, a test's say, hears them).
#include "Ostrel/Ostrel.h"
#include "Ostrel/Shared/IRefPtr.h"

namespace {

void ReportToLibraryLog(const char* pszExpression, const char* pszFile, int nLine) {
  if (g_pLog) g_pLog->Assert_CheckFail(pszExpression, pszFile, nLine);
}

// Installed while the module starts: this object is linked straight into the programs.
const bool s_bInstalled = (g_pfnRefPtrCheckFailed = &ReportToLibraryLog, true);

}  // namespace
