// Stands in for VantorX64.exe in the link's tests: writes down how it was started and
// every line it gets, into the file named by VANTOR_FAKE_HELPER_LOG, and obeys a few
// commands of its own: "flood" (a megabyte to its output), "die" (ends with code 3),
// "hang" (never reads again), "quit" (ends with code 0).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

char g_szLog[MAX_PATH];

void Log(const std::string& strLine) {
  if (FILE* pFile = std::fopen(g_szLog, "ab")) {
    std::fprintf(pFile, "%s\n", strLine.c_str());
    std::fclose(pFile);
  }
}

}  // namespace

int main() {
  if (!GetEnvironmentVariableA("VANTOR_FAKE_HELPER_LOG", g_szLog, MAX_PATH)) return 2;
  char szExe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, szExe, MAX_PATH);
  Log(std::string("cmd ") + GetCommandLineA());
  Log(std::string("exe ") + szExe);
  const HWND hConsole = GetConsoleWindow();
  Log(std::string("console-visible ") + (hConsole && IsWindowVisible(hConsole) ? "1" : "0"));
  const HANDLE hInput = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE hOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  Log(std::string("pipes ") + (GetFileType(hInput) == FILE_TYPE_PIPE ? "1" : "0") +
      (GetFileType(hOutput) == FILE_TYPE_PIPE ? "1" : "0") +
      (GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_PIPE ? "1" : "0"));

  std::string strLine;
  char c = 0;
  DWORD dwRead = 0;
  while (ReadFile(hInput, &c, 1, &dwRead, nullptr) && dwRead == 1) {
    if (c == '\r') continue;
    if (c != '\n') {
      strLine += c;
      continue;
    }
    Log("line " + strLine);
    if (strLine == "flood") {
      static char block[4096];
      std::memset(block, 'h', sizeof(block));
      for (int i = 0; i < 256; ++i) {
        DWORD dwWritten = 0;
        WriteFile(hOutput, block, sizeof(block), &dwWritten, nullptr);
      }
      Log("flooded");
    } else if (strLine == "die") {
      ExitProcess(3);
    } else if (strLine == "hang") {
      Sleep(INFINITE);
    } else if (strLine == "quit") {
      Log("end quit");
      return 0;
    }
    strLine.clear();
  }
  Log("end broken");
  return 0;
}
