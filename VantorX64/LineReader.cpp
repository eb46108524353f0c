#include "VantorX64/LineReader.h"

#include <cstring>

namespace vantor {

void CLineReader::Open(ILineSource* pSource) {
  m_pSource = pSource;
  m_bConsole = pSource->IsConsole();
  m_bEnded = false;
  m_nPending = 0;
  m_nCount = 0;
}

bool CLineReader::ReadLine(char (&szLine)[kHelperLineSize]) {
  szLine[0] = '\0';
  if (TakeLine(szLine)) return true;
  if (m_bEnded) {
    // The input is gone: what is left without a line end is the last line.
    if (m_nCount == 0) return false;
    TakeBytes(m_nCount, 0, szLine);
    return true;
  }
  bool bPeekFailed = false;
  if (!IsInputWaiting(&bPeekFailed)) return false;

  std::int32_t nRead = 0;
  const bool bRead = m_pSource->Read(m_Buffer + m_nCount, kBufferSize - m_nCount, &nRead);
  if (!bRead || nRead < 0 || nRead > kBufferSize - m_nCount || (bPeekFailed && nRead == 0)) {
    // A failed read, or nothing from an input that could not even be peeked: the
    // sender has gone (a broken pipe) or the input has ended. Polling it on would
    // keep the helper alive, waking every millisecond, for nobody.
    m_bEnded = true;
    return ReadLine(szLine);
  }
  m_nCount += nRead;
  if (m_nPending > 0) {
    m_nPending -= nRead;
    if (m_nPending < 0) m_nPending = 0;
  }
  if (TakeLine(szLine)) return true;
  if (m_nCount == kBufferSize) {
    // A full buffer without a line end: its first 4095 bytes are a line of their own,
    // so that a sender that never ends its lines cannot stop the helper.
    TakeBytes(kBufferSize - 1, 0, szLine);
    return true;
  }
  return false;
}

bool CLineReader::IsInputWaiting(bool* pbPeekFailed) {
  if (m_bConsole) {
    // A typed character is two events, its key going down and up.
    std::int32_t nEvents = 0;
    return m_pSource->CountConsoleEvents(&nEvents) && nEvents >= 2;
  }
  if (m_nPending > 0) return true;
  std::int32_t nAvailable = 0;
  if (!m_pSource->Peek(&nAvailable)) {
    // Try the read: it tells a broken pipe from an input that is no pipe.
    *pbPeekFailed = true;
    return true;
  }
  m_nPending = nAvailable > 0 ? nAvailable : 0;
  return m_nPending > 0;
}

bool CLineReader::TakeLine(char (&szLine)[kHelperLineSize]) {
  const void* pLineFeed = std::memchr(m_Buffer, '\n', static_cast<std::size_t>(m_nCount));
  if (!pLineFeed) return false;
  TakeBytes(static_cast<std::int32_t>(static_cast<const char*>(pLineFeed) - m_Buffer), 1, szLine);
  return true;
}

// Copies the first nBytes of the buffer out as a line, drops them and nSkip more (the
// line feed), and cuts the line at its first CR.
void CLineReader::TakeBytes(std::int32_t nBytes, std::int32_t nSkip, char (&szLine)[kHelperLineSize]) {
  // A line is at most 4095 bytes: a line feed lies within the 4096-byte buffer.
  static_assert(kHelperLineSize == static_cast<std::size_t>(kBufferSize));
  if (nBytes > kBufferSize - 1) nBytes = kBufferSize - 1;
  std::memcpy(szLine, m_Buffer, static_cast<std::size_t>(nBytes));
  szLine[nBytes] = '\0';
  const std::int32_t nTaken = nBytes + nSkip > m_nCount ? m_nCount : nBytes + nSkip;
  m_nCount -= nTaken;
  std::memmove(m_Buffer, m_Buffer + nTaken, static_cast<std::size_t>(m_nCount));
  if (char* pCr = static_cast<char*>(std::memchr(szLine, '\r', static_cast<std::size_t>(nBytes)))) *pCr = '\0';
}

}  // namespace vantor
