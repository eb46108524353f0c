// The helper's standard input as a line source: the pipe Vantor writes into, or the
// console when the helper is run by hand.
#pragma once
#include <windows.h>

#include "VantorX64/LineReader.h"

namespace vantor {

class CStdInputSource : public ILineSource {
 public:
  // Takes the standard handles (not owned: they belong to the process). A console
  // input stops reporting window and mouse events, and what was typed before the
  // helper started is dropped.
  void Open(HANDLE hInput, HANDLE hOutput);

  bool IsConsole() const override { return m_bConsole; }
  bool CountConsoleEvents(std::int32_t* pnEvents) override;
  bool Peek(std::int32_t* pnAvailable) override;
  bool Read(char* pBuffer, std::int32_t nRoom, std::int32_t* pnRead) override;

 private:
  HANDLE m_hInput = nullptr;
  HANDLE m_hOutput = nullptr;  // kept with the input; "hookok" goes through the C library
  bool m_bConsole = false;
};

}  // namespace vantor
