// Capture target selection over plain data: which module lists make a game, which
// windows are candidates, and what one cycle does with them, over a scripted system.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gamecapture/ProcessClass.h"
#include "gamecapture/TargetSelection.h"
#include "gamecapture/TargetWatch.h"
#include "gamecapture/TargetWindowRule.h"

namespace vantor {
namespace {

using Names = std::vector<std::optional<std::string>>;

int Classify(const Names& names) {
  return ClassifyModules(names.size(), [&](std::size_t i, std::string* pName) {
    if (!names[i]) return false;
    *pName = *names[i];
    return true;
  });
}

TEST(ProcessClass, ModuleListsGiveTheirClass) {
  struct Case {
    const char* pszWhat;
    Names names;
    int nClass;
  };
  const std::string exe = "game.exe";
  const Case cases[] = {
      {"nothing Direct3D", {exe, "kernel32.dll", "user32.dll"}, kProcessNoTarget},
      {"no modules at all", {}, kProcessNoTarget},
      {"d3d9", {exe, "d3d9.dll"}, kProcessD3D9},
      {"d3d10", {exe, "D3D10.DLL"}, kProcessD3D10},
      {"d3d11", {exe, "d3d11.dll"}, kProcessD3D11},
      {"d3d9 and d3d11: the newer wins", {exe, "d3d9.dll", "d3d11.dll"}, kProcessD3D11},
      {"d3d11 before d3d9: never lowered", {exe, "d3d11.dll", "d3d9.dll"}, kProcessD3D11},
      {"d3d10 and d3d11", {exe, "d3d10.dll", "d3d11.dll"}, kProcessD3D11},
      {"any case", {exe, "D3d9.Dll"}, kProcessD3D9},
      {"names compare whole", {exe, "d3d9.dll.mui", "xd3d11.dll", "d3d9"}, kProcessNoTarget},
      {"d3dx9 is a helper, not the runtime", {exe, "d3dx9_43.dll"}, kProcessNoTarget},
      {"msdmo after d3d9", {exe, "d3d9.dll", "msdmo.dll"}, kProcessNoTarget},
      {"msdmo before d3d11", {exe, "MSDMO.DLL", "d3d11.dll"}, kProcessNoTarget},
      {"Vantor itself", {"Vantor.exe", "d3d9.dll"}, kProcessNoTarget},
      {"the shell", {"explorer.exe", "d3d11.dll"}, kProcessNoTarget},
      {"the task manager", {"taskmgr.exe", "d3d9.dll"}, kProcessNoTarget},
      {"the old browser", {"iexplore.exe", "d3d9.dll"}, kProcessNoTarget},
      {"unreadable names are skipped", {exe, std::nullopt, "d3d9.dll", std::nullopt}, kProcessD3D9},
      {"an unreadable name hides nothing after it", {std::nullopt, "msdmo.dll", "d3d9.dll"}, kProcessNoTarget},
  };
  for (const Case& c : cases) EXPECT_EQ(Classify(c.names), c.nClass) << c.pszWhat;
}

TEST(ProcessClass, NeverLooksPastTheModuleLimit) {
  Names names(kMaxProcessModules + 5, std::string("lib.dll"));
  names.back() = "d3d9.dll";
  std::size_t nHighest = 0;
  const int nClass = ClassifyModules(names.size(), [&](std::size_t i, std::string* pName) {
    nHighest = std::max(nHighest, i);
    *pName = *names[i];
    return true;
  });
  EXPECT_EQ(nClass, kProcessNoTarget);
  EXPECT_EQ(nHighest, kMaxProcessModules - 1);
}

TEST(ProcessClass, AClosingProgramStopsTheScanWithWhatItFound) {
  const Names names = {"game.exe", "d3d9.dll", "closing", "d3d11.dll", "msdmo.dll"};
  std::size_t nRead = 0;
  const int nClass = ClassifyModules(names.size(), [&](std::size_t i, std::string* pName) {
    ++nRead;
    *pName = *names[i];
    if (*pName == "closing") g_bTargetThreadRun = false;
    return true;
  });
  g_bTargetThreadRun = true;
  EXPECT_EQ(nClass, kProcessD3D9);
  EXPECT_EQ(nRead, 3u);
}

TEST(TargetWindowRule, OnlyFreeVisibleWindowsOfOtherClasses) {
  struct Case {
    const char* pszWhat;
    TargetWindowFacts facts;
    bool bAccepted;
  };
  const Case cases[] = {
      {"a game's window", {true, false, false, false, "GameWnd"}, true},
      {"hidden", {false, false, false, false, "GameWnd"}, false},
      {"pop-up of a live owner", {true, true, true, true, "GameWnd"}, false},
      {"pop-up of a hidden but enabled owner", {true, true, true, false, "GameWnd"}, false},
      {"pop-up of a visible but disabled owner", {true, true, false, true, "GameWnd"}, false},
      {"owned by a hidden, disabled window", {true, true, false, false, "GameWnd"}, true},
      {"the taskbar", {true, false, false, false, "Shell_TrayWnd"}, false},
      {"the desktop", {true, false, false, false, "Progman"}, false},
      {"class names compare case and all", {true, false, false, false, "progman"}, true},
      {"no partial matches", {true, false, false, false, "Shell_TrayWnd2"}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsTargetWindow(c.facts), c.bAccepted) << c.pszWhat;
}

TEST(TargetLists, HoldAHundredPositionsAndNoMore) {
  CCandidateList candidates;
  for (ProcessId pid = 1; pid <= 150; ++pid) EXPECT_EQ(candidates.Add(pid), pid <= kMaxTargetCandidates);
  ASSERT_EQ(candidates.size(), kMaxTargetCandidates);
  EXPECT_EQ(candidates[kMaxTargetCandidates - 1], kMaxTargetCandidates);

  CSentSlots sent;
  EXPECT_FALSE(sent.TakeIfChanged(kMaxTargetCandidates, 7));
}

// A scripted system: windows (one process id each), their classes, and a log of what
// the cycle asked of it.
class CFakeSystem : public ITargetSystem {
 public:
  bool IsGameHooked() override { return bHooked; }
  bool FindShellProcess(ProcessId* pPid) override {
    if (!bHaveShell) return false;
    *pPid = shellPid;
    return true;
  }
  void ListCandidates(CCandidateList* pCandidates) override {
    for (ProcessId pid : windows) pCandidates->Add(pid);
  }
  void RefreshHookSettings() override { log.push_back("settings"); }
  int ClassifyProcess(ProcessId pid) override {
    ++classified[pid];
    const auto it = classes.find(pid);
    return it == classes.end() ? kProcessNoTarget : it->second;
  }
  TargetWindow FindProcessWindow(ProcessId pid) override {
    log.push_back("find " + std::to_string(pid));
    return reinterpret_cast<TargetWindow>(static_cast<std::uintptr_t>(pid * 16));
  }
  void ProbeDXGI() override { log.push_back("dxgi"); }
  void ProbeD3D9() override { log.push_back("d3d9"); }
  void HandOver(TargetWindow hWnd) override {
    log.push_back("hand " + std::to_string(reinterpret_cast<std::uintptr_t>(hWnd) / 16));
  }

  bool bHooked = false;
  bool bHaveShell = true;
  ProcessId shellPid = 4;
  std::vector<ProcessId> windows;
  std::map<ProcessId, int> classes;
  std::map<ProcessId, int> classified;
  std::vector<std::string> log;
};

class CRecordingHelper : public IHelperWriter {
 public:
  void WriteToHelper(const char* pszLine) override { lines.emplace_back(pszLine); }
  std::vector<std::string> lines;
};

TEST(TargetSelection, ProbesBeforeEveryHandOverOncePerPosition) {
  CFakeSystem system;
  system.windows = {20, 30, 20, 40};
  system.classes = {{20, kProcessD3D9}, {30, kProcessD3D11}, {40, kProcessNoTarget}};
  CTargetSelection selection(system, nullptr, false, true);
  EXPECT_EQ(selection.RunCycle(), CycleOutcome::Ran);
  const std::vector<std::string> expected = {
      "settings",                                //
      "find 20", "dxgi", "d3d9", "hand 20",      //
      "find 30", "dxgi", "d3d9", "hand 30",      //
      "find 20", "dxgi", "d3d9", "hand 20"};
  EXPECT_EQ(system.log, expected);

  // The next cycle does it all again: the library may not have hooked the game yet.
  system.log.clear();
  selection.RunCycle();
  EXPECT_EQ(system.log, expected);
}

TEST(TargetSelection, BeforeWindows7OnlyTheDirect3D9Probe) {
  CFakeSystem system;
  system.windows = {20};
  system.classes = {{20, kProcessD3D10}};
  CTargetSelection selection(system, nullptr, false, false);
  selection.RunCycle();
  EXPECT_EQ(system.log, (std::vector<std::string>{"settings", "find 20", "d3d9", "hand 20"}));
}

TEST(TargetSelection, TheShellIsListedButNeverLookedInto) {
  CFakeSystem system;
  system.windows = {4, 20, 4};
  system.classes = {{4, kProcessD3D11}, {20, kProcessD3D9}};
  CTargetSelection selection(system, nullptr, false, true);
  selection.RunCycle();
  EXPECT_EQ(selection.get_Candidates().size(), 3u);
  EXPECT_EQ(system.classified.count(4), 0u);
  EXPECT_EQ(system.log, (std::vector<std::string>{"settings", "find 20", "dxgi", "d3d9", "hand 20"}));
}

TEST(TargetSelection, UnreadableProcessesGoToTheHelperOncePerPosition) {
  CFakeSystem system;
  CRecordingHelper helper;
  system.windows = {64, 64, 20};
  system.classes = {{64, kProcessUnreadable}, {65, kProcessUnreadable}, {20, kProcessD3D9}};
  CTargetSelection selection(system, &helper, true, true);
  selection.RunCycle();
  selection.RunCycle();
  EXPECT_EQ(helper.lines, (std::vector<std::string>{"pid 64\r\n", "pid 64\r\n"}));

  // Another process at position 0, then the first again: each change is sent.
  helper.lines.clear();
  system.windows = {65, 64, 20};
  selection.RunCycle();
  system.windows = {64, 64, 20};
  selection.RunCycle();
  selection.RunCycle();
  EXPECT_EQ(helper.lines, (std::vector<std::string>{"pid 65\r\n", "pid 64\r\n"}));
  EXPECT_EQ(selection.get_SentSlots()[0], 64u);
  EXPECT_EQ(selection.get_SentSlots()[2], 0u);
}

TEST(TargetSelection, On32BitWindowsUnreadableProcessesAreIgnored) {
  CFakeSystem system;
  CRecordingHelper helper;
  system.windows = {64};
  system.classes = {{64, kProcessUnreadable}};
  CTargetSelection selection(system, &helper, false, true);
  selection.RunCycle();
  EXPECT_TRUE(helper.lines.empty());
  EXPECT_EQ(system.log, (std::vector<std::string>{"settings"}));
}

TEST(TargetSelection, AHookedGameOrAMissingShellStopsTheLooking) {
  CFakeSystem system;
  CRecordingHelper helper;
  system.windows = {20, 64};
  system.classes = {{20, kProcessD3D9}, {64, kProcessUnreadable}};
  CTargetSelection selection(system, &helper, true, true);
  system.bHooked = true;
  EXPECT_EQ(selection.RunCycle(), CycleOutcome::GameHooked);
  EXPECT_TRUE(system.log.empty());
  EXPECT_TRUE(system.classified.empty());

  // Without the shell nobody can say which process is the shell: nothing is touched.
  system.bHooked = false;
  system.bHaveShell = false;
  EXPECT_EQ(selection.RunCycle(), CycleOutcome::NoShell);
  EXPECT_TRUE(system.log.empty());
  EXPECT_TRUE(system.classified.empty());
  EXPECT_TRUE(helper.lines.empty());
  EXPECT_EQ(selection.get_ShellLessCycles(), 1u);
}

TEST(TargetSelection, AHundredCandidatesAtMostPerCycle) {
  CFakeSystem system;
  CRecordingHelper helper;
  for (ProcessId pid = 1000; pid < 1150; ++pid) {
    system.windows.push_back(pid);
    system.classes[pid] = kProcessUnreadable;
  }
  CTargetSelection selection(system, &helper, true, true);
  selection.RunCycle();
  EXPECT_EQ(helper.lines.size(), kMaxTargetCandidates);
  EXPECT_EQ(helper.lines.back(), "pid 1099\r\n");
}

// Waits (bounded) until the condition holds; the loop's own pace decides how long.
template <class F>
bool Eventually(F condition) {
  for (int i = 0; i < 2000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

TEST(TargetWatch, GdiModePausesTheLoopAndDirectXLetsItContinue) {
  CFakeSystem system;
  system.windows = {20};
  system.classes = {{20, kProcessD3D9}};
  CTargetSelection selection(system, nullptr, false, true);
  std::thread watch([&] { selection.Run(TargetWatchTiming{2, 2, 2}); });

  ASSERT_TRUE(Eventually([&] { return selection.get_Cycles() >= 2; }));
  SetTargetWatchPaused(true);  // GDI
  // Once the loop has passed the switch twice, no cycle can still be under way.
  std::uint64_t nPassed = selection.get_PausedPasses();
  ASSERT_TRUE(Eventually([&] { return selection.get_PausedPasses() >= nPassed + 2; }));
  const std::uint64_t nCycles = selection.get_Cycles();
  nPassed = selection.get_PausedPasses();
  ASSERT_TRUE(Eventually([&] { return selection.get_PausedPasses() >= nPassed + 10; }));
  EXPECT_EQ(selection.get_Cycles(), nCycles);

  // GDI twice, then DirectX once: running again.
  SetTargetWatchPaused(true);
  SetTargetWatchPaused(false);
  EXPECT_TRUE(Eventually([&] { return selection.get_Cycles() >= nCycles + 3; }));

  g_bTargetThreadRun = false;
  watch.join();
  g_bTargetThreadRun = true;
}

// A shell that restarts (a crash, an update, the user) is away for a few cycles. The
// watch waits for it instead of ending, and once it is back its processes are again
// left alone.
TEST(TargetWatch, KeepsWatchingWhileTheShellIsAwayAndExcludesItOnceBack) {
  class CComingAndGoingShell : public CFakeSystem {
   public:
    bool FindShellProcess(ProcessId* pPid) override {
      if (!bShellThere) return false;
      *pPid = shellPid;
      return true;
    }
    void HandOver(TargetWindow hWnd) override {
      CFakeSystem::HandOver(hWnd);
      ++nHandOvers;
    }
    std::atomic<bool> bShellThere{false};
    std::atomic<int> nHandOvers{0};
  };
  CComingAndGoingShell system;
  // The shell's process loads Direct3D too: only being the shell keeps it out.
  system.windows = {4, 20};
  system.classes = {{4, kProcessD3D9}, {20, kProcessD3D9}};
  CTargetSelection selection(system, nullptr, false, true);
  std::thread watch([&] { selection.Run(TargetWatchTiming{2, 2, 2}); });

  // Not there at the start: the loop goes on looking for it and touches nothing.
  ASSERT_TRUE(Eventually([&] { return selection.get_ShellLessCycles() >= 3; }));
  EXPECT_EQ(system.nHandOvers, 0);

  // It appears late: the game is handed over.
  system.bShellThere = true;
  ASSERT_TRUE(Eventually([&] { return system.nHandOvers >= 2; }));

  // It goes: the next cycles hand nothing over (one under way when it went may finish).
  system.bShellThere = false;
  std::uint64_t nShellLess = selection.get_ShellLessCycles();
  ASSERT_TRUE(Eventually([&] { return selection.get_ShellLessCycles() >= nShellLess + 1; }));
  const int nHandOversWhileAway = system.nHandOvers;
  nShellLess = selection.get_ShellLessCycles();
  ASSERT_TRUE(Eventually([&] { return selection.get_ShellLessCycles() >= nShellLess + 3; }));
  EXPECT_EQ(system.nHandOvers, nHandOversWhileAway);

  // And comes back: the watch is still there for it.
  system.bShellThere = true;
  EXPECT_TRUE(Eventually([&] { return system.nHandOvers >= nHandOversWhileAway + 2; }));

  g_bTargetThreadRun = false;
  watch.join();
  g_bTargetThreadRun = true;
  EXPECT_EQ(system.classified.count(4), 0u);
  EXPECT_GT(system.classified[20], 0);
}

}  // namespace
}  // namespace vantor
