// VantorX64: the 64-bit helper Vantor starts hidden on 64-bit Windows.
//
// This first version keeps the program's shape: it links the 64-bit hook library,
// carries the exported CDllFile, waits for "begin" and ends on "quit" or when its
// input closes. Serving "pid" lines (probing and hooking 64-bit games) comes with the
// game-capture work.
#include <windows.h>

#include <cstring>
#include <string>

#include "Ostrel/Ostrel.h"

namespace {

COstrelConfig g_Config;

bool StartsWithNoCase(const std::string& strLine, const char* pszWord) {
  const std::size_t n = std::strlen(pszWord);
  return strLine.size() >= n && _strnicmp(strLine.c_str(), pszWord, n) == 0;
}

// One line without its line end; false when the input has closed.
bool ReadLine(HANDLE hInput, std::string* pLine) {
  pLine->clear();
  char c;
  DWORD dwRead = 0;
  while (ReadFile(hInput, &c, 1, &dwRead, nullptr) && dwRead == 1) {
    if (c == '\n') {
      if (!pLine->empty() && pLine->back() == '\r') pLine->pop_back();
      return true;
    }
    pLine->push_back(c);
  }
  return !pLine->empty();
}

}  // namespace

int main() {
  HANDLE hInput = GetStdHandle(STD_INPUT_HANDLE);
  std::string strLine;
  if (!ReadLine(hInput, &strLine) || !StartsWithNoCase(strLine, "begin")) return 0;
  while (ReadLine(hInput, &strLine)) {
    if (StartsWithNoCase(strLine, "quit")) break;
  }
  sg_Dll.DestroyDll();
  return 0;
}
