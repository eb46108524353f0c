#include "VantorX64/HelperCommands.h"

#include <cstddef>
#include <cstdint>

namespace vantor {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// pszWord is lower case.
bool StartsWithNoCase(const char* pszLine, const char* pszWord) {
  for (; *pszWord; ++pszLine, ++pszWord) {
    if (LowerAscii(*pszLine) != *pszWord) return false;
  }
  return true;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::int32_t ParseDecimal(const char* psz) {
  while (IsCSpace(*psz)) ++psz;
  bool bNegative = false;
  if (*psz == '+' || *psz == '-') bNegative = *psz++ == '-';
  // Counted towards the sign's side, held at the limit: -2147483648 is reachable.
  constexpr std::int64_t kLimit = 2147483648LL;
  std::int64_t nMagnitude = 0;
  for (; *psz >= '0' && *psz <= '9'; ++psz) {
    nMagnitude = nMagnitude * 10 + (*psz - '0');
    if (nMagnitude > kLimit) nMagnitude = kLimit;
  }
  if (bNegative) return static_cast<std::int32_t>(-nMagnitude);
  return static_cast<std::int32_t>(nMagnitude < kLimit ? nMagnitude : kLimit - 1);
}

// The line, with a sleep of the host's between tries; false when the input ended.
bool WaitForLine(CLineReader& reader, IHelperHost& host, char (&szLine)[kHelperLineSize]) {
  while (!reader.ReadLine(szLine)) {
    if (reader.IsEnded()) return false;
    host.Idle();
  }
  host.LineReceived(szLine);
  return true;
}

}  // namespace

bool IsBeginLine(const char* pszLine) { return StartsWithNoCase(pszLine, "begin"); }

std::int32_t ParseHelperCommand(const char* pszLine) {
  if (StartsWithNoCase(pszLine, "pid ")) return ParseDecimal(pszLine + 4);
  if (StartsWithNoCase(pszLine, "quit")) return 1;
  return 0;
}

int RunHelper(CLineReader& reader, IHelperHost& host) {
  char szLineStr[kHelperLineSize];
  // Anything but "begin" first: not our sender. End without touching the hook library.
  if (!WaitForLine(reader, host, szLineStr) || !IsBeginLine(szLineStr)) return 0;

  std::uint32_t nLastPid = 0;
  for (;;) {
    if (!WaitForLine(reader, host, szLineStr)) {
      // Vantor has gone without "quit" (killed, or crashed): nobody will send more.
      host.StopHookLibrary();
      return 0;
    }
    const std::int32_t nCommand = ParseHelperCommand(szLineStr);
    if (nCommand == 1) {
      host.StopHookLibrary();
      return 0;
    }
    if (nCommand == 0) continue;
    const std::uint32_t nPid = static_cast<std::uint32_t>(nCommand);
    // The same process twice in a row is hooked once.
    if (nPid != nLastPid) host.HookProcess(nPid);
    nLastPid = nPid;
  }
}

}  // namespace vantor
