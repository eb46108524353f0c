#include "VantorX64/StdInputSourceWin32.h"

namespace vantor {

void CStdInputSource::Open(HANDLE hInput, HANDLE hOutput) {
  m_hInput = hInput;
  m_hOutput = hOutput;
  DWORD dwMode = 0;
  m_bConsole = GetConsoleMode(hInput, &dwMode) != FALSE;
  if (m_bConsole) {
    SetConsoleMode(hInput, dwMode & ~static_cast<DWORD>(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
    FlushConsoleInputBuffer(hInput);
  }
}

bool CStdInputSource::CountConsoleEvents(std::int32_t* pnEvents) {
  DWORD dwEvents = 0;
  if (!GetNumberOfConsoleInputEvents(m_hInput, &dwEvents)) return false;
  *pnEvents = dwEvents > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(dwEvents);
  return true;
}

bool CStdInputSource::Peek(std::int32_t* pnAvailable) {
  DWORD dwAvailable = 0;
  if (!PeekNamedPipe(m_hInput, nullptr, 0, nullptr, &dwAvailable, nullptr)) return false;
  *pnAvailable = dwAvailable > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(dwAvailable);
  return true;
}

bool CStdInputSource::Read(char* pBuffer, std::int32_t nRoom, std::int32_t* pnRead) {
  DWORD dwRead = 0;
  const BOOL bRead = ReadFile(m_hInput, pBuffer, static_cast<DWORD>(nRoom), &dwRead, nullptr);
  *pnRead = static_cast<std::int32_t>(dwRead);
  return bRead != FALSE;
}

}  // namespace vantor
