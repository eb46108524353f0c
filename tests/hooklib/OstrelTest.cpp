// Ostrel / OstrelX64 as the programs use them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "Ostrel/Ostrel.h"

namespace {

#if defined(_WIN64)
constexpr wchar_t kOstrelName[] = L"OstrelX64.dll";
#else
constexpr wchar_t kOstrelName[] = L"Ostrel.dll";
#endif

std::wstring LibraryFolder() {
  wchar_t szPath[MAX_PATH];
  const DWORD cch = GetModuleFileNameW(GetModuleHandleW(kOstrelName), szPath, MAX_PATH);
  std::wstring strPath(szPath, cch);
  return strPath.substr(0, strPath.rfind(L'\\') + 1);
}

std::wstring TempName(const wchar_t* pszStem) {
  wchar_t szTemp[MAX_PATH];
  GetTempPathW(MAX_PATH, szTemp);
  return std::wstring(szTemp) + pszStem + std::to_wstring(GetCurrentProcessId());
}

class CTestWindow {
 public:
  CTestWindow() {
    m_hWnd = CreateWindowExW(0, L"STATIC", L"hooklib target", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~CTestWindow() {
    if (m_hWnd) DestroyWindow(m_hWnd);
  }
  HWND m_hWnd;
};

std::string OwnProgramName() {
  char szPath[MAX_PATH];
  GetModuleFileNameA(nullptr, szPath, MAX_PATH);
  const char* pszSlash = std::strrchr(szPath, '\\');
  return pszSlash ? pszSlash + 1 : szPath;
}

TEST(hooklib_Ostrel, InitDllFillsTheLibraryWelcomeTextUnlessTheProgramDid) {
  sg_ProcStats.m_szWelcome[0] = '\0';
  EXPECT_TRUE(sg_Dll.InitDll());
  EXPECT_EQ(sg_Dll.m_dwOwnerPid, GetCurrentProcessId());
  EXPECT_EQ(sg_Dll.m_hModule, GetModuleHandleW(kOstrelName));
  char szExpected[MAX_PATH] = "";
  ASSERT_GT(LoadStringA(GetModuleHandleW(kOstrelName), IDS_OSTREL_WELCOME, szExpected, MAX_PATH), 0);
  EXPECT_STREQ(sg_ProcStats.m_szWelcome, szExpected);

  lstrcpynA(sg_ProcStats.m_szWelcome, "from the program", MAX_PATH);
  sg_Dll.DestroyDll();
  EXPECT_TRUE(sg_Dll.InitDll());
  EXPECT_STREQ(sg_ProcStats.m_szWelcome, "from the program");
  sg_Dll.DestroyDll();
}

TEST(hooklib_Ostrel, InitMasterWndRecordsTheTargetButHooksNothing) {
  CTestWindow window;
  ASSERT_NE(window.m_hWnd, nullptr);
  sg_Dll.InitDll();
  EXPECT_FALSE(sg_Dll.InitMasterWnd(window.m_hWnd));
  EXPECT_EQ(sg_Dll.m_dwLastError, static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_EQ(sg_Dll.m_hMasterWnd, window.m_hWnd);
  EXPECT_EQ(sg_Dll.m_nMasterPid, GetCurrentProcessId());
  EXPECT_EQ(sg_Dll.m_nMasterTid, GetCurrentThreadId());
  EXPECT_STRCASEEQ(sg_Dll.m_szMasterExe, OwnProgramName().c_str());
  // The target-watch thread must never think a game is being recorded.
  EXPECT_FALSE(sg_Dll.IsHookCBT());
  EXPECT_EQ(sg_ProcStats.m_dwProcessId, 0u);

  // The helper calls it with no window when the process has none.
  EXPECT_FALSE(sg_Dll.InitMasterWnd(nullptr));
  EXPECT_EQ(sg_Dll.m_dwLastError, static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(sg_Dll.m_hMasterWnd, window.m_hWnd);
}

TEST(hooklib_Ostrel, DestroyDllDropsTargetAndCommandsButKeepsProbeOffsets) {
  CTestWindow window;
  sg_Dll.InitDll();
  sg_Dll.InitMasterWnd(window.m_hWnd);
  sg_Dll.m_nD3D9Present = 0x1234;
  sg_Dll.m_nDXGIResizeBuffers = 0x5678;
  InterlockedOr(&sg_Dll.m_nCommandFlags, OSTREL_CMD_RECORD);
  InterlockedOr(&sg_Dll.m_nCommandFlags, OSTREL_CMD_PAUSE);
  EXPECT_EQ(sg_Dll.m_nCommandFlags, OSTREL_CMD_RECORD | OSTREL_CMD_PAUSE);

  sg_Dll.DestroyDll();
  EXPECT_EQ(sg_Dll.m_hMasterWnd, nullptr);
  EXPECT_EQ(sg_Dll.m_nMasterPid, 0u);
  EXPECT_EQ(sg_Dll.m_szMasterExe[0], '\0');
  EXPECT_EQ(sg_Dll.m_nCommandFlags, 0);
  EXPECT_FALSE(sg_Dll.m_bInitialised);
  EXPECT_EQ(sg_Dll.m_nD3D9Present, 0x1234u);
  EXPECT_EQ(sg_Dll.m_nDXGIResizeBuffers, 0x5678u);
}

TEST(hooklib_Ostrel, ProbeOffsetsSitWhereTheProgramsWriteThem) {
  // The probes store through raw offsets into the record; so does this test.
  const std::size_t kSlot = sizeof(void*);
  const std::size_t offsets[] = {5 * kSlot, 6 * kSlot, 7 * kSlot, 8 * kSlot, 9 * kSlot};
  const ULONG_PTR values[] = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555};
  for (int i = 0; i < 5; ++i) {
    std::memcpy(reinterpret_cast<unsigned char*>(&sg_Dll) + offsets[i], &values[i], sizeof(ULONG_PTR));
  }
  EXPECT_EQ(sg_Dll.m_nD3D9Present, 0x1111u);
  EXPECT_EQ(sg_Dll.m_nD3D9Reset, 0x2222u);
  EXPECT_EQ(sg_Dll.m_nD3D9SwapChainPresent, 0x3333u);
  EXPECT_EQ(sg_Dll.m_nDXGIPresent, 0x4444u);
  EXPECT_EQ(sg_Dll.m_nDXGIResizeBuffers, 0x5555u);
  const std::size_t kFlagsAt = sizeof(void*) == 8 ? 352 : 312;
  const LONG nFlags = OSTREL_CMD_STOP;
  std::memcpy(reinterpret_cast<unsigned char*>(&sg_Dll) + kFlagsAt, &nFlags, sizeof(nFlags));
  EXPECT_EQ(sg_Dll.m_nCommandFlags, OSTREL_CMD_STOP);
  sg_Dll.DestroyDll();
}

TEST(hooklib_ThreadLockedLong, OperationsReturnNewAndOldValues) {
  CThreadLockedLong counter(5);
  EXPECT_EQ(counter.m_nValue, 5);
  EXPECT_EQ(counter.Inc(), 6);
  EXPECT_EQ(counter.Dec(), 5);
  EXPECT_EQ(counter.Exchange(-3), 5);
  EXPECT_EQ(counter.m_nValue, -3);
  // The program reads the value through the object's address.
  EXPECT_EQ(*reinterpret_cast<volatile LONG*>(&counter), -3);
}

TEST(hooklib_ThreadLockedLong, NoUpdateIsLostBetweenThreads) {
  CThreadLockedLong counter(0);
  constexpr int kThreads = 8;
  constexpr int kRounds = 50000;
  std::atomic<bool> bGo{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!bGo.load()) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) {
        counter.Inc();
        if (t % 2 == 0) counter.Dec();
      }
    });
  }
  bGo = true;
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter.m_nValue, kThreads / 2 * kRounds);
}

std::uint32_t Hr(LONG hr) { return static_cast<std::uint32_t>(hr); }

bool IsFolder(const std::wstring& strPath) {
  const DWORD dwAttributes = GetFileAttributesW(strPath.c_str());
  return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(hooklib_OstrelConfig, FixCaptureDirResolvesAgainstTheLibraryFolder) {
  const std::wstring strFolder = LibraryFolder();
  ASSERT_FALSE(strFolder.empty());

  COstrelConfigData data;
  const LONG hrDefault = data.FixCaptureDir();
  EXPECT_EQ(std::wstring(data.m_szCaptureDir), strFolder + L"output\\");
  EXPECT_EQ(hrDefault == 0, IsFolder(data.m_szCaptureDir));

  lstrcpynW(data.m_szCaptureDir, L"clips", MAX_PATH);
  data.FixCaptureDir();
  EXPECT_EQ(std::wstring(data.m_szCaptureDir), strFolder + L"clips\\");
}

TEST(hooklib_OstrelConfig, FixCaptureDirEndsWithOneBackslashAndReportsTheFolder) {
  const std::wstring strDir = TempName(L"hooklib_capture_");
  ASSERT_TRUE(CreateDirectoryW(strDir.c_str(), nullptr));
  COstrelConfigData data;

  lstrcpynW(data.m_szCaptureDir, strDir.c_str(), MAX_PATH);
  EXPECT_EQ(data.FixCaptureDir(), 0);
  EXPECT_EQ(std::wstring(data.m_szCaptureDir), strDir + L"\\");
  EXPECT_EQ(data.FixCaptureDir(), 0);
  EXPECT_EQ(std::wstring(data.m_szCaptureDir), strDir + L"\\");

  // A missing folder is reported, not made.
  const std::wstring strMissing = strDir + L"\\missing";
  lstrcpynW(data.m_szCaptureDir, strMissing.c_str(), MAX_PATH);
  const LONG hrMissing = data.FixCaptureDir();
  EXPECT_EQ(Hr(hrMissing) & 0xFFFF0000u, 0x80070000u);
  EXPECT_NE(Hr(hrMissing), 0x80070000u);
  EXPECT_FALSE(IsFolder(strMissing));

  // A file where the folder should be.
  const std::wstring strFile = strDir + L"\\file";
  HANDLE hFile = CreateFileW(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
  CloseHandle(hFile);
  lstrcpynW(data.m_szCaptureDir, strFile.c_str(), MAX_PATH);
  const LONG hrFile = data.FixCaptureDir();
  EXPECT_EQ(Hr(hrFile) & 0xFFFF0000u, 0x80070000u);
  EXPECT_NE(Hr(hrFile), 0x80070000u);

  // One character too long for the backslash: kept as it was rather than cut.
  const std::wstring strLong = L"C:\\" + std::wstring(MAX_PATH - 4, L'x');
  lstrcpynW(data.m_szCaptureDir, strLong.c_str(), MAX_PATH);
  EXPECT_EQ(Hr(data.FixCaptureDir()), 0x800700CEu);  // ERROR_FILENAME_EXCED_RANGE
  EXPECT_EQ(std::wstring(data.m_szCaptureDir), strLong);

  DeleteFileW(strFile.c_str());
  RemoveDirectoryW(strDir.c_str());
}

TEST(hooklib_OstrelConfig, ReadIniFileTakesValidValuesAndKeepsTheRest) {
  COstrelConfig config;
  EXPECT_EQ(std::wstring(config.m_szIniPath), LibraryFolder() + L"Ostrel.ini");
  EXPECT_EQ(config.m_nFrameRate, 30);

  const std::wstring strIni = TempName(L"hooklib_ostrel_") + L".ini";
  lstrcpynW(config.m_szIniPath, strIni.c_str(), MAX_PATH);
  lstrcpynW(config.m_szCaptureDir, L"D:\\before\\", MAX_PATH);
  EXPECT_FALSE(config.ReadIniFile());
  EXPECT_EQ(std::wstring(config.m_szCaptureDir), L"D:\\before\\");

  ASSERT_TRUE(WritePrivateProfileStringW(L"Capture", L"Dir", L"E:\\Games\\Clips", strIni.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Capture", L"FrameRate", L"25", strIni.c_str()));
  EXPECT_TRUE(config.ReadIniFile());
  EXPECT_EQ(std::wstring(config.m_szCaptureDir), L"E:\\Games\\Clips");
  EXPECT_EQ(config.m_nFrameRate, 25);

  for (const wchar_t* pszRate : {L"0", L"-5", L"500", L"fast"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(pszRate)));
    WritePrivateProfileStringW(L"Capture", L"FrameRate", pszRate, strIni.c_str());
    EXPECT_TRUE(config.ReadIniFile());
    EXPECT_EQ(config.m_nFrameRate, 25);
  }

  WritePrivateProfileStringW(L"Capture", nullptr, nullptr, strIni.c_str());
  WritePrivateProfileStringW(L"Other", L"Key", L"1", strIni.c_str());
  EXPECT_TRUE(config.ReadIniFile());
  EXPECT_EQ(std::wstring(config.m_szCaptureDir), L"E:\\Games\\Clips");
  DeleteFileW(strIni.c_str());

  // The refresh the programs run: the config's part goes into sg_Config.
  sg_Config.CopyConfig(config);
  EXPECT_EQ(std::wstring(sg_Config.m_szCaptureDir), L"E:\\Games\\Clips");
  EXPECT_EQ(sg_Config.m_nFrameRate, 25);
}

#if defined(_WIN64)
TEST(hooklib_Ostrel, AssertionReportsAreCountedAndTheCallerGoesOn) {
  ASSERT_NE(g_pLog, nullptr);
  const LONG nBefore = g_pLog->m_nFailCount;
  g_pLog->Assert_CheckFail("pVTable", "Test_DX10", 83);
  g_pLog->Assert_CheckFail(nullptr, nullptr, 0);
  EXPECT_EQ(g_pLog->m_nFailCount, nBefore + 2);
}
#endif

}  // namespace
