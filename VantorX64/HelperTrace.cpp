#include "VantorX64/HelperTrace.h"

#include <cstring>

namespace vantor {

bool CHelperTrace::Open(CFileSystem& fileSystem, const std::string& strPath) {
  m_pFile = strPath.empty() ? nullptr : fileSystem.CreateWriteFile(strPath);
  return IsOpen();
}

void CHelperTrace::Write(const char* pszDirection, const char* pszLine) {
  if (!m_pFile || !pszLine) return;
  // One write per record: a reader never sees half a line followed by another one.
  std::string strRecord = pszDirection;
  strRecord += pszLine;
  strRecord += '\n';
  std::uint32_t nWritten = 0;
  // A full disk or a removed file only ends the trace; the helper carries on.
  if (!m_pFile->Write(strRecord.data(), static_cast<std::uint32_t>(strRecord.size()), &nWritten) ||
      nWritten != strRecord.size()) {
    m_pFile.reset();
  }
}

}  // namespace vantor
