// What the helper makes of the lines Vantor sends it. Portable, so that every rule of
// the exchange is tested natively; the helper's main function only adds the system.
#pragma once
#include <cstdint>

#include "VantorX64/LineReader.h"

namespace vantor {

// A line that opens the exchange: it begins with "begin", in any case.
bool IsBeginLine(const char* pszLine);

// The value of a command line: the number after "pid " (any case) for a pid line,
// 1 for a line beginning "quit" (any case), 0 for anything else. The number is read
// as C reads a decimal: leading white space, an optional sign, the digits up to the
// first other character; no digits give 0. One too large for 32 bits is held at the
// largest (or smallest) value, so that no number wraps round to 0 or to 1.
std::int32_t ParseHelperCommand(const char* pszLine);

// What the helper does for the commands; the system's side of it.
class IHelperHost {
 public:
  virtual ~IHelperHost() = default;
  // Hooks the topmost window of the process (a null window when it has none) and
  // writes "hookok"; a failure is not reported.
  virtual void HookProcess(std::uint32_t nProcessId) = 0;
  // Stops the hook library before the helper ends ("quit", or the sender gone).
  virtual void StopHookLibrary() = 0;
  // Called while no line is there: the helper sleeps a millisecond.
  virtual void Idle() = 0;
  // Every line as it arrives, before it is acted on, whatever it says (the opt-in
  // trace of HelperTrace.h records them).
  virtual void LineReceived(const char* /*pszLine*/) {}
};

// The helper's whole run over an opened reader: waits for the first line, which must
// open the exchange, then serves commands until "quit", "pid 1" or the end of the
// input. Returns the program's exit code, 0 on every path.
int RunHelper(CLineReader& reader, IHelperHost& host);

}  // namespace vantor
