// The real VantorX64.exe, started the way Vantor starts it (its own hidden console,
// pipes for its standard input and output), fed lines and judged by its "hookok"
// answers and its exit code. The output is read once the helper has ended, so every
// count is exact.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32/Owners.h"

namespace vantor {
namespace {

std::wstring HelperPath() {
  wchar_t szPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  std::wstring strPath = szPath;
  return strPath.substr(0, strPath.rfind(L'\\') + 1) + L"VantorX64.exe";
}

class CHelperProcess {
 public:
  // The command line is the quoted path and whatever arguments a test adds.
  explicit CHelperProcess(const std::wstring& strArguments = L"") {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return;
    m_hChildInput.Attach(hRead);
    m_hInput.Attach(hWrite);
    if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return;
    m_hOutput.Attach(hRead);
    m_hChildOutput.Attach(hWrite);
    SetHandleInformation(m_hInput.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(m_hOutput.get(), HANDLE_FLAG_INHERIT, 0);

    std::wstring strCommand = L"\"" + HelperPath() + L"\"" + strArguments;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = m_hChildInput.get();
    si.hStdOutput = m_hChildOutput.get();
    si.hStdError = m_hChildOutput.get();
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, strCommand.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                        &si, &pi)) {
      return;
    }
    m_hProcess.Attach(pi.hProcess);
    CHandle thread(pi.hThread);
    // Only the helper holds its ends now: its output ends when it does.
    m_hChildInput.Reset();
    m_hChildOutput.Reset();
  }

  bool IsStarted() const { return static_cast<bool>(m_hProcess); }

  void Write(const std::string& strText) {
    DWORD dwWritten = 0;
    ASSERT_TRUE(WriteFile(m_hInput.get(), strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr));
    ASSERT_EQ(dwWritten, strText.size());
  }
  // The sender goes away without a word.
  void CloseInput() { m_hInput.Reset(); }

  // Waits for the helper to end by itself (CTest's time limit catches one that does
  // not) and gives its exit code; the output read so far is in m_strOutput.
  DWORD WaitForEnd() {
    WaitForSingleObject(m_hProcess.get(), INFINITE);
    char buffer[4096];
    DWORD dwRead = 0;
    while (ReadFile(m_hOutput.get(), buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) {
      m_strOutput.append(buffer, dwRead);
    }
    DWORD dwExitCode = 0xDEAD;
    GetExitCodeProcess(m_hProcess.get(), &dwExitCode);
    return dwExitCode;
  }

  int CountHookOk() const {
    int n = 0;
    for (std::size_t i = m_strOutput.find("hookok\r\n"); i != std::string::npos;
         i = m_strOutput.find("hookok\r\n", i + 1)) {
      ++n;
    }
    return n;
  }

  std::string m_strOutput;

 private:
  CHandle m_hInput, m_hOutput, m_hChildInput, m_hChildOutput, m_hProcess;
};

TEST(HelperProgram, ServesTheExchangeThroughItsPipes) {
  CHelperProcess helper;
  ASSERT_TRUE(helper.IsStarted());
  // The 5000-byte line is cut after 4095 bytes; its second piece is a pid line.
  const std::string strLong = std::string(4095, 'x') + "pid 4003 " + std::string(5000 - 4095 - 9, 'y');
  helper.Write("BEGIN and more\r\n");
  helper.Write("pid 0\r\npid\r\npid4009\r\nhello\r\n");
  helper.Write("PID 4001\r\npid 4001\r\n");  // the same process twice: hooked once
  helper.Write("pid 4002\npid 4001\r\n");    // A, B, A: hooked again; LF alone ends a line too
  helper.Write(strLong + "\r\n");
  helper.Write("quit\r\n");
  EXPECT_EQ(helper.WaitForEnd(), 0u);
  EXPECT_EQ(helper.CountHookOk(), 4) << helper.m_strOutput;
  EXPECT_EQ(helper.m_strOutput.size(), 4 * std::strlen("hookok\r\n")) << helper.m_strOutput;
}

TEST(HelperProgram, AFirstLineOtherThanBeginEndsIt) {
  CHelperProcess helper;
  ASSERT_TRUE(helper.IsStarted());
  helper.Write(" begin\r\npid 4001\r\n");
  EXPECT_EQ(helper.WaitForEnd(), 0u);
  EXPECT_EQ(helper.CountHookOk(), 0) << helper.m_strOutput;
}

TEST(HelperProgram, PidOneEndsItLikeQuit) {
  CHelperProcess helper;
  ASSERT_TRUE(helper.IsStarted());
  // The input stays open: the helper ends by itself.
  helper.Write("begin\r\npid 4001\r\npid 1\r\npid 4002\r\n");
  EXPECT_EQ(helper.WaitForEnd(), 0u);
  EXPECT_EQ(helper.CountHookOk(), 1) << helper.m_strOutput;
}

TEST(HelperProgram, EndsWhenItsSenderHasGoneWithoutQuit) {
  CHelperProcess helper;
  ASSERT_TRUE(helper.IsStarted());
  helper.Write("begin\r\npid 4001\r\n");
  helper.CloseInput();
  EXPECT_EQ(helper.WaitForEnd(), 0u);
  EXPECT_EQ(helper.CountHookOk(), 1) << helper.m_strOutput;
}

TEST(HelperProgram, EndsWhenItsSenderHasGoneBeforeBegin) {
  CHelperProcess helper;
  ASSERT_TRUE(helper.IsStarted());
  helper.Write("beg");
  helper.CloseInput();
  EXPECT_EQ(helper.WaitForEnd(), 0u);
  EXPECT_EQ(helper.CountHookOk(), 0) << helper.m_strOutput;
}

TEST(HelperProgram, IgnoresItsArguments) {
  CHelperProcess helper(L" quit pid 1 --help");
  ASSERT_TRUE(helper.IsStarted());
  helper.Write("begin\r\npid 4001\r\nquit\r\n");
  EXPECT_EQ(helper.WaitForEnd(), 0u);
  EXPECT_EQ(helper.CountHookOk(), 1) << helper.m_strOutput;
}

std::string ReadWholeFile(const std::wstring& strPath) {
  CHandle file(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr));
  std::string strText;
  if (!file) return strText;
  char buffer[4096];
  DWORD dwRead = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) strText.append(buffer, dwRead);
  return strText;
}

// The trace is the one way to see from outside what a helper started by Vantor was told:
// its standard output goes back to Vantor, which throws it away.
TEST(HelperProgram, WritesTheTraceTheEnvironmentAsksFor) {
  wchar_t szTemp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, szTemp), 0u);
  const std::wstring strTrace = std::wstring(szTemp) + L"helper trace \u00e9t\u00e9.txt";
  // Left over from an earlier run: the helper starts the file afresh.
  {
    CHandle old(CreateFileW(strTrace.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD dwWritten = 0;
    WriteFile(old.get(), "stale\n", 6, &dwWritten, nullptr);
  }
  ASSERT_TRUE(SetEnvironmentVariableW(L"VANTOR_HELPER_TRACE", strTrace.c_str()));
  CHelperProcess helper;
  SetEnvironmentVariableW(L"VANTOR_HELPER_TRACE", nullptr);
  ASSERT_TRUE(helper.IsStarted());
  helper.Write("begin\r\npid 4001\r\nPID 4001\nnoise\r\npid 4002\r\nquit\r\npid 4003\r\n");
  EXPECT_EQ(helper.WaitForEnd(), 0u);
  EXPECT_EQ(helper.CountHookOk(), 2) << helper.m_strOutput;
  EXPECT_EQ(ReadWholeFile(strTrace),
            "< begin\n< pid 4001\n> hookok\n< PID 4001\n< noise\n< pid 4002\n> hookok\n< quit\n");
  DeleteFileW(strTrace.c_str());
}

}  // namespace
}  // namespace vantor
