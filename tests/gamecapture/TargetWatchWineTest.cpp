// The target watch against real processes: Direct3D 9 and 11 "games" (the fixtures),
// one that also loads msdmo.dll, one named Vantor.exe, a stand-in shell, and in the
// 32-bit build a 64-bit game the program cannot look into.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Ostrel/Ostrel.h"
#include "gamecapture/FindProcessWindow.h"
#include "gamecapture/ProcessClass.h"
#include "gamecapture/TargetSelection.h"
#include "gamecapture/TargetSystemWin32.h"
#include "gamecapture/TargetWatch.h"
#include "gamecapture/TargetWatchWin32.h"

namespace vantor {
namespace {

// The real system, with a record of what the selection did with it.
class CRecordingSystem : public ITargetSystem {
 public:
  explicit CRecordingSystem(HWND hMainWnd) : m_Real(hMainWnd) {}

  bool IsGameHooked() override { return m_Real.IsGameHooked(); }
  bool FindShellProcess(ProcessId* pPid) override { return m_Real.FindShellProcess(pPid); }
  void ListCandidates(CCandidateList* pCandidates) override { m_Real.ListCandidates(pCandidates); }
  void RefreshHookSettings() override { m_Real.RefreshHookSettings(); }
  int ClassifyProcess(ProcessId pid) override {
    const int nClass = m_Real.ClassifyProcess(pid);
    classified[pid] = nClass;
    return nClass;
  }
  TargetWindow FindProcessWindow(ProcessId pid) override { return m_Real.FindProcessWindow(pid); }
  void ProbeDXGI() override {
    m_Real.ProbeDXGI();
    steps.push_back("dxgi");
  }
  void ProbeD3D9() override {
    m_Real.ProbeD3D9();
    steps.push_back("d3d9");
  }
  void HandOver(TargetWindow hWnd) override {
    m_Real.HandOver(hWnd);
    steps.push_back("hand");
    handedOver.push_back(static_cast<HWND>(hWnd));
  }

  std::map<ProcessId, int> classified;
  std::vector<std::string> steps;
  std::vector<HWND> handedOver;

 private:
  CTargetSystemWin32 m_Real;
};

class CRecordingHelper : public IHelperWriter {
 public:
  void WriteToHelper(const char* pszLine) override { lines.emplace_back(pszLine); }
  std::vector<std::string> lines;
};

bool IsWow64() {
  BOOL bWow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &bWow64) && bWow64;
}

DWORD WindowPid(HWND hWnd) {
  DWORD dwPid = 0;
  GetWindowThreadProcessId(hWnd, &dwPid);
  return dwPid;
}

std::size_t Positions(const CCandidateList& candidates, DWORD dwPid) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) n += candidates[i] == dwPid;
  return n;
}

// The programs the watch looks at, started once per test.
class TargetWatchTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::wstring strFolder = test::TestProgramFolder();
    // Vantor itself, loading Direct3D 9 like a game: never a target.
    const std::wstring strVantorFolder = strFolder + L"vantor-named\\";
    CreateDirectoryW(strVantorFolder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((strFolder + L"D3D9Fixture.exe").c_str(), (strVantorFolder + L"Vantor.exe").c_str(), FALSE));

    Start(&m_Shell, strFolder + L"ShellFixture.exe");
    Start(&m_D3D9, strFolder + L"D3D9Fixture.exe");
    Start(&m_D3D11, strFolder + L"D3D11Fixture.exe");
    Start(&m_Msdmo, strFolder + L"D3D11Fixture.exe --msdmo");
    Start(&m_Vantor, strVantorFolder + L"Vantor.exe");
    if (IsWow64()) Start(&m_Game64, strFolder + L"D3D11Fixture64.exe");
    m_hMainWnd = CreateWindowExA(0, "STATIC", "target watch test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr,
                                 nullptr, nullptr, nullptr);
    sg_Dll.InitDll();
  }

  void TearDown() override {
    sg_Dll.DestroyDll();
    if (m_hMainWnd) DestroyWindow(m_hMainWnd);
    g_bTargetThreadRun = true;
    SetTargetWatchPaused(false);
  }

  void Start(test::CChildProcess* pChild, const std::wstring& strCommand) {
    ASSERT_TRUE(pChild->Start(L"\"" + strCommand.substr(0, strCommand.find(L".exe") + 4) + L"\"" +
                              strCommand.substr(strCommand.find(L".exe") + 4) + L" --seconds 90"));
    ASSERT_TRUE(pChild->WaitReady()) << "a fixture did not present frames";
  }

  test::CChildProcess m_Shell, m_D3D9, m_D3D11, m_Msdmo, m_Vantor, m_Game64;
  HWND m_hMainWnd = nullptr;
};

TEST_F(TargetWatchTest, ClassifiesTheRunningProcessesByTheirDirect3D) {
  EXPECT_EQ(ClassifyProcess(m_D3D9.get_Pid()), kProcessD3D9);
  EXPECT_EQ(ClassifyProcess(m_D3D11.get_Pid()), kProcessD3D11);
  EXPECT_EQ(ClassifyProcess(m_Msdmo.get_Pid()), kProcessNoTarget);
  EXPECT_EQ(ClassifyProcess(m_Vantor.get_Pid()), kProcessNoTarget);
  // The stand-in shell is a Direct3D 9 process: only its being the shell keeps it out.
  EXPECT_EQ(ClassifyProcess(m_Shell.get_Pid()), kProcessD3D9);
  if (IsWow64()) {
    EXPECT_EQ(ClassifyProcess(m_Game64.get_Pid()), kProcessUnreadable);
  }
  EXPECT_EQ(ClassifyProcess(0x7ffffff0), kProcessUnreadable);
}

TEST_F(TargetWatchTest, EachCycleProbesAndHandsOverEveryGameOncePerPosition) {
  CRecordingSystem system(m_hMainWnd);
  CRecordingHelper helper;
  CTargetSelection selection(system, &helper, IsWow64(), true);
  constexpr int kCycles = 2;
  std::map<DWORD, std::size_t> positions;
  std::map<DWORD, std::size_t> handOvers;
  for (int nCycle = 0; nCycle < kCycles; ++nCycle) {
    system.handedOver.clear();
    system.steps.clear();
    ASSERT_EQ(selection.RunCycle(), CycleOutcome::Ran);
    const CCandidateList& candidates = selection.get_Candidates();
    for (DWORD dwPid : {m_D3D9.get_Pid(), m_D3D11.get_Pid(), m_Msdmo.get_Pid(), m_Vantor.get_Pid(), m_Shell.get_Pid()}) {
      positions[dwPid] = Positions(candidates, dwPid);
      EXPECT_GE(positions[dwPid], 1u) << "process " << dwPid << " has a visible window";
    }
    handOvers.clear();
    for (HWND hWnd : system.handedOver) ++handOvers[WindowPid(hWnd)];
    // The games, once per position, with their topmost window; nothing else.
    EXPECT_EQ(handOvers[m_D3D9.get_Pid()], positions[m_D3D9.get_Pid()]);
    EXPECT_EQ(handOvers[m_D3D11.get_Pid()], positions[m_D3D11.get_Pid()]);
    std::size_t nGames = handOvers[m_D3D9.get_Pid()] + handOvers[m_D3D11.get_Pid()];
    for (HWND hWnd : system.handedOver) {
      EXPECT_EQ(hWnd, FindProcessWindow(WindowPid(hWnd)));
    }
    // Other Direct3D programs may be open on the bench; ours are all that were handed over
    // among the fixtures.
    EXPECT_EQ(handOvers.count(m_Msdmo.get_Pid()), 0u);
    EXPECT_EQ(handOvers.count(m_Vantor.get_Pid()), 0u);
    EXPECT_EQ(handOvers.count(m_Shell.get_Pid()), 0u);
    EXPECT_GE(system.handedOver.size(), nGames);
    // Both probes before every hand-over.
    for (std::size_t i = 0; i < system.steps.size(); ++i) {
      if (system.steps[i] != "hand") continue;
      ASSERT_GE(i, 2u);
      EXPECT_EQ(system.steps[i - 2], "dxgi");
      EXPECT_EQ(system.steps[i - 1], "d3d9");
    }
  }
  // The shell's windows are listed but the shell is never looked into.
  EXPECT_EQ(system.classified.count(m_Shell.get_Pid()), 0u);
  EXPECT_EQ(system.classified[m_Msdmo.get_Pid()], kProcessNoTarget);
  EXPECT_EQ(system.classified[m_Vantor.get_Pid()], kProcessNoTarget);

  // The hook library was told, and the probes stored their offsets.
  EXPECT_EQ(sg_Dll.m_hMasterWnd, system.handedOver.back());
  EXPECT_NE(sg_Dll.m_nD3D9Present, 0u);
  EXPECT_NE(sg_Dll.m_nD3D9SwapChainPresent, 0u);
  EXPECT_NE(sg_Dll.m_nDXGIPresent, 0u);

  // The 64-bit game went to the helper once per position over both cycles.
  std::vector<std::string> expected;
  if (IsWow64()) {
    const std::size_t n = Positions(selection.get_Candidates(), m_Game64.get_Pid());
    EXPECT_GE(n, 1u);
    expected.assign(n, "pid " + std::to_string(m_Game64.get_Pid()) + "\r\n");
  }
  std::vector<std::string> game64Lines;
  for (const std::string& strLine : helper.lines) {
    if (IsWow64() && strLine == "pid " + std::to_string(m_Game64.get_Pid()) + "\r\n") game64Lines.push_back(strLine);
  }
  EXPECT_EQ(game64Lines, expected);
  if (!IsWow64()) {
    EXPECT_TRUE(helper.lines.empty());
  }
}

TEST_F(TargetWatchTest, TheTaskbarTheDesktopAndLivePopUpsAreNoCandidates) {
  const HWND hDesktop = FindWindowA("Progman", "Program Manager");
  const HWND hTaskbar = FindWindowA("Shell_TrayWnd", nullptr);
  ASSERT_TRUE(hDesktop && hTaskbar);
  ASSERT_TRUE(IsWindowVisible(hDesktop) && IsWindowVisible(hTaskbar));
  const HWND hOwner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
  const HWND hPopup = CreateWindowExA(0, "STATIC", "pop-up", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, hOwner, nullptr,
                                      nullptr, nullptr);
  ASSERT_TRUE(hOwner && hPopup);

  CCandidateList candidates;
  for (HWND hWnd : {hDesktop, hTaskbar, hPopup, m_hMainWnd /* never shown */}) {
    EnumTargetWndProc(hWnd, reinterpret_cast<LPARAM>(&candidates));
  }
  EXPECT_EQ(candidates.size(), 0u);
  EnumTargetWndProc(hOwner, reinterpret_cast<LPARAM>(&candidates));
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0], GetCurrentProcessId());
  // Once the owner is hidden and disabled, its pop-up stands on its own.
  EnableWindow(hOwner, FALSE);
  ShowWindow(hOwner, SW_HIDE);
  EnumTargetWndProc(hPopup, reinterpret_cast<LPARAM>(&candidates));
  EXPECT_EQ(candidates.size(), 2u);
  DestroyWindow(hPopup);
  DestroyWindow(hOwner);
}

TEST_F(TargetWatchTest, TheThreadHandsTheGamesOverUntilTheProgramCloses) {
  CRecordingHelper helper;
  sg_Dll.m_hMasterWnd = nullptr;
  const CThreadHandle thread = StartTargetWatch({m_hMainWnd, &helper, IsWow64(), true});
  ASSERT_TRUE(thread);
  const DWORD dwGames[] = {m_D3D9.get_Pid(), m_D3D11.get_Pid()};
  bool bHandedOver = false;
  for (int i = 0; i < 600 && !bHandedOver; ++i) {
    const HWND hMaster = sg_Dll.m_hMasterWnd;
    bHandedOver = hMaster && std::find(std::begin(dwGames), std::end(dwGames), WindowPid(hMaster)) != std::end(dwGames);
    if (!bHandedOver) Sleep(100);
  }
  EXPECT_TRUE(bHandedOver);
  EXPECT_TRUE(StopTargetWatch(thread, 30000));
}

// Waits up to 60 s for the condition, answering what is sent to this thread's windows
// meanwhile (the probes give the main window to Direct3D on the watch's thread).
template <class F>
bool PumpUntil(F condition, int nSteps = 1200) {
  for (int i = 0; i < nSteps; ++i) {
    if (condition()) return true;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(50);
  }
  return condition();
}

// Without the shell's window the watch cannot tell the shell from a game: it looks at
// nothing, and takes its work up as soon as a shell is there (on Windows, Explorer
// coming back after a restart; under Wine, which runs none, the stand-in).
TEST(TargetWatchWithoutShell, WaitsForAShellAndThenHandsTheGameOver) {
  ASSERT_EQ(FindWindowA("Progman", "Program Manager"), nullptr) << "a shell is running on this desktop";
  const std::wstring strFolder = test::TestProgramFolder();
  test::CChildProcess game;
  ASSERT_TRUE(game.Start(L"\"" + strFolder + L"D3D9Fixture.exe\" --seconds 90"));
  ASSERT_TRUE(game.WaitReady());
  const CWindowHandle mainWnd(CreateWindowExA(0, "STATIC", "target watch test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150,
                                              nullptr, nullptr, nullptr, nullptr));
  sg_Dll.InitDll();
  const CThreadHandle thread = StartTargetWatch({mainWnd.get(), nullptr, IsWow64(), true});
  ASSERT_TRUE(thread);

  // A few seconds of cycles without a shell: the thread goes on, and hands nothing over.
  EXPECT_FALSE(PumpUntil([&] { return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; }, 60))
      << "the watch ended without a shell";
  EXPECT_EQ(sg_Dll.m_hMasterWnd, nullptr);

  test::CChildProcess shell;
  ASSERT_TRUE(shell.Start(L"\"" + strFolder + L"ShellFixture.exe\" --seconds 90"));
  ASSERT_TRUE(shell.WaitReady());
  EXPECT_TRUE(PumpUntil([&] { return WindowPid(sg_Dll.m_hMasterWnd) == game.get_Pid(); }))
      << "the game was not handed over once the shell was there";

  EXPECT_TRUE(StopTargetWatch(thread, 30000));
  g_bTargetThreadRun = true;
  sg_Dll.DestroyDll();
}

}  // namespace
}  // namespace vantor
