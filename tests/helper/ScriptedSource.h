// A line source driven by a script: bytes arrive in the chunks a test gives, the way a
// pipe, a console or a redirected file would hand them over.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>

#include "VantorX64/LineReader.h"

namespace vantor::test {

class CScriptedSource : public ILineSource {
 public:
  enum class Kind { kPipe, kConsole, kFile };
  explicit CScriptedSource(Kind kind = Kind::kPipe) : m_Kind(kind) {}
  Kind get_Kind() const { return m_Kind; }

  // Queued chunks reach the input one at a time, when Deliver is called.
  void Queue(std::string strChunk) { m_Queue.push_back(std::move(strChunk)); }
  bool Deliver() {
    if (m_Queue.empty()) return false;
    m_strWaiting += m_Queue.front();
    m_Queue.pop_front();
    return true;
  }
  void DeliverAll() {
    while (Deliver()) {
    }
  }
  // The sender has gone: a pipe breaks, a file is at its end.
  void Close() { m_bClosed = true; }

  bool IsConsole() const override { return m_Kind == Kind::kConsole; }
  bool CountConsoleEvents(std::int32_t* pnEvents) override {
    ++m_nConsoleQueries;
    // A typed character is a key going down and up. A console that has gone away
    // still answers, and its read fails.
    *pnEvents = static_cast<std::int32_t>(m_nConsoleEventsExtra + 2 * m_strWaiting.size());
    if (m_bClosed && m_strWaiting.empty()) *pnEvents = 2;
    return true;
  }
  bool Peek(std::int32_t* pnAvailable) override {
    if (m_Kind != Kind::kPipe || (m_bClosed && m_strWaiting.empty())) return false;
    *pnAvailable = static_cast<std::int32_t>(m_strWaiting.size());
    return true;
  }
  bool Read(char* pBuffer, std::int32_t nRoom, std::int32_t* pnRead) override {
    *pnRead = 0;
    if (m_strWaiting.empty()) {
      if (m_bClosed) return m_Kind == Kind::kFile;  // a file at its end reads 0 bytes, the rest fail
      // A pipe or a console read with nothing there would wait for the sender.
      ++m_nBlockingReads;
      return true;
    }
    std::size_t nTake = std::min<std::size_t>(static_cast<std::size_t>(nRoom), m_strWaiting.size());
    if (m_Kind == Kind::kConsole) {
      // A console read returns at most the typed line.
      const std::size_t nLineEnd = m_strWaiting.find('\n');
      if (nLineEnd != std::string::npos) nTake = std::min(nTake, nLineEnd + 1);
    }
    std::memcpy(pBuffer, m_strWaiting.data(), nTake);
    m_strWaiting.erase(0, nTake);
    *pnRead = static_cast<std::int32_t>(nTake);
    return true;
  }

  int m_nBlockingReads = 0;   // reads that would have waited on a real input
  int m_nConsoleQueries = 0;
  int m_nConsoleEventsExtra = 0;

 private:
  Kind m_Kind;
  std::deque<std::string> m_Queue;
  std::string m_strWaiting;
  bool m_bClosed = false;
};

}  // namespace vantor::test
