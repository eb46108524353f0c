// The helper's line reader: whole lines out of its standard input, which is a pipe
// from Vantor or, when the helper is run by hand, a console. Portable: the bytes come
// through ILineSource, which the helper implements over its standard input handle and
// the tests over scripted input.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vantor {

class ILineSource {
 public:
  virtual ~ILineSource() = default;
  // The input is a console: reads return typed lines, there is nothing to peek.
  virtual bool IsConsole() const = 0;
  // Console only: the number of input events queued (key presses count twice, down
  // and up); false when it cannot be asked.
  virtual bool CountConsoleEvents(std::int32_t* pnEvents) = 0;
  // Pipe only: the bytes waiting to be read, without taking them; false when the
  // peek fails (a broken pipe, or an input that is no pipe at all).
  virtual bool Peek(std::int32_t* pnAvailable) = 0;
  // One read of at most nRoom bytes; false when the read fails.
  virtual bool Read(char* pBuffer, std::int32_t nRoom, std::int32_t* pnRead) = 0;
};

// Room for one line with its terminating NUL.
constexpr std::size_t kHelperLineSize = 4096;

class CLineReader {
 public:
  static constexpr std::int32_t kBufferSize = 4096;

  // Reads from pSource, which must outlive the reader.
  void Open(ILineSource* pSource);

  // True with the next line in szLine (NUL-terminated, without its line end, cut at
  // its first CR); false when no whole line is there yet. Never waits on a pipe: it
  // reads only bytes known to be waiting. A line longer than the buffer comes out in
  // pieces of 4095 bytes.
  bool ReadLine(char (&szLine)[kHelperLineSize]);

  // The input has ended (the sender has gone, or a redirected file is at its end).
  // Bytes left after the last line end came out as one last line before this.
  bool IsEnded() const { return m_bEnded && m_nCount == 0; }

 private:
  bool IsInputWaiting(bool* pbPeekFailed);
  bool TakeLine(char (&szLine)[kHelperLineSize]);
  void TakeBytes(std::int32_t nBytes, std::int32_t nSkip, char (&szLine)[kHelperLineSize]);

  ILineSource* m_pSource = nullptr;
  bool m_bConsole = false;
  bool m_bEnded = false;
  std::int32_t m_nPending = 0;  // bytes the last peek reported and not read yet
  std::int32_t m_nCount = 0;    // bytes held in m_Buffer
  char m_Buffer[kBufferSize] = {};
};

}  // namespace vantor
