// The Record, Pause and Stop commands around the recording thread: a second Record is
// harmless, Pause toggles, every start is unpaused, a new recording waits for the one
// that is stopping, and the moved area reaches the loop as one pair.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "recording/GdiRecording.h"

namespace vantor::test {
namespace {

using StartResult = CRecordingControl::StartResult;

// A recording thread body that runs until told, so the commands meet a live recording.
struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  bool bOpen = false;
  int nEntered = 0;
  void Enter() {
    std::unique_lock<std::mutex> l(lock);
    ++nEntered;
    changed.notify_all();
    changed.wait(l, [this] { return bOpen; });
  }
  void WaitEntered(int n) {
    std::unique_lock<std::mutex> l(lock);
    changed.wait(l, [&] { return nEntered >= n; });
  }
  void Open() {
    std::lock_guard<std::mutex> l(lock);
    bOpen = true;
    changed.notify_all();
  }
};

TEST(recording_RecordingControl, SecondRecordIsHarmless) {
  std::atomic<std::int32_t> recording{0}, paused{0};
  CRecordingControl control(recording, paused);
  Gate gate;
  std::atomic<int> nRuns{0};
  auto body = [&](std::uint64_t) {
    ++nRuns;
    gate.Enter();
  };
  EXPECT_EQ(control.Start(body), StartResult::kStarted);
  gate.WaitEntered(1);
  EXPECT_EQ(recording.load(), 1);
  EXPECT_EQ(control.Start(body), StartResult::kAlreadyRunning);
  EXPECT_EQ(control.Start(body), StartResult::kAlreadyRunning);
  control.Stop();
  gate.Open();
  EXPECT_TRUE(control.WaitForThreadEnd(60000));
  EXPECT_EQ(nRuns.load(), 1);
  EXPECT_FALSE(control.IsThreadRunning());
}

TEST(recording_RecordingControl, PauseTogglesOnlyWhileRecording) {
  std::atomic<std::int32_t> recording{0}, paused{0};
  CRecordingControl control(recording, paused);
  EXPECT_FALSE(control.TogglePause()) << "nothing to pause";
  EXPECT_EQ(paused.load(), 0);

  Gate gate;
  control.Start([&](std::uint64_t) { gate.Enter(); });
  gate.WaitEntered(1);
  EXPECT_TRUE(control.TogglePause());
  EXPECT_EQ(paused.load(), 1);
  EXPECT_FALSE(control.TogglePause());
  EXPECT_EQ(paused.load(), 0);
  EXPECT_TRUE(control.TogglePause());
  EXPECT_EQ(control.Start([](std::uint64_t) {}), StartResult::kResumed);
  EXPECT_EQ(paused.load(), 0);
  control.Stop();
  gate.Open();
  control.WaitForThreadEnd(60000);
}

TEST(recording_RecordingControl, EveryStartIsUnpaused) {
  std::atomic<std::int32_t> recording{0}, paused{1};
  CRecordingControl control(recording, paused);
  std::atomic<std::int32_t> nPausedSeen{-1};
  control.Start([&](std::uint64_t) { nPausedSeen = paused.load(); });
  control.WaitForThreadEnd(60000);
  EXPECT_EQ(nPausedSeen.load(), 0);

  // Stopped while paused: the flag stays until the next start clears it.
  Gate gate;
  control.Start([&](std::uint64_t) { gate.Enter(); });
  gate.WaitEntered(1);
  control.TogglePause();
  control.Stop();
  gate.Open();
  control.WaitForThreadEnd(60000);
  EXPECT_EQ(paused.load(), 1);
  control.Start([&](std::uint64_t) { nPausedSeen = paused.load(); });
  control.WaitForThreadEnd(60000);
  EXPECT_EQ(nPausedSeen.load(), 0);
}

TEST(recording_RecordingControl, NewRecordingWaitsForTheOneThatIsStopping) {
  std::atomic<std::int32_t> recording{0}, paused{0};
  CRecordingControl control(recording, paused);
  std::mutex lock;
  std::vector<std::string> events;
  auto note = [&](const char* sz) {
    std::lock_guard<std::mutex> l(lock);
    events.push_back(sz);
  };
  Gate gate;
  std::uint64_t nFirst = 0, nSecond = 0;
  control.Start([&](std::uint64_t nRun) {
    nFirst = nRun;
    note("first begins");
    gate.Enter();
    // Stop, then Record again, came while this frame was in hand: the old run must see
    // that it is no longer wanted although the flag is set again.
    EXPECT_FALSE(control.IsActive(nRun));
    note("first ends");
  });
  gate.WaitEntered(1);
  control.Stop();
  EXPECT_EQ(control.Start([&](std::uint64_t nRun) {
    nSecond = nRun;
    EXPECT_TRUE(control.IsActive(nRun));
    note("second begins");
  }),
            StartResult::kStarted);
  EXPECT_EQ(recording.load(), 1);
  EXPECT_TRUE(control.IsThreadRunning());
  gate.Open();
  EXPECT_TRUE(control.WaitForThreadEnd(60000));
  EXPECT_EQ(events, (std::vector<std::string>{"first begins", "first ends", "second begins"}));
  EXPECT_NE(nFirst, nSecond);
}

TEST(recording_RecordingControl, FailedStartClearsTheFlagUnlessANewerRecordingRuns) {
  std::atomic<std::int32_t> recording{0}, paused{0};
  CRecordingControl control(recording, paused);
  control.Start([&](std::uint64_t nRun) { control.Abandon(nRun); });
  control.WaitForThreadEnd(60000);
  EXPECT_EQ(recording.load(), 0);

  // A recording whose start failed is not "running": Record starts a new one.
  recording = 1;
  std::atomic<bool> bRan{false};
  EXPECT_EQ(control.Start([&](std::uint64_t) { bRan = true; }), StartResult::kStarted);
  control.WaitForThreadEnd(60000);
  EXPECT_TRUE(bRan);

  Gate gate;
  std::uint64_t nOld = 0;
  control.Start([&](std::uint64_t nRun) {
    nOld = nRun;
    gate.Enter();
  });
  gate.WaitEntered(1);
  control.Stop();
  control.Start([&](std::uint64_t) {});
  control.Abandon(nOld);
  EXPECT_EQ(recording.load(), 1) << "the newer recording keeps its flag";
  control.Stop();
  gate.Open();
  control.WaitForThreadEnd(60000);
}

TEST(recording_MovedArea, TakenOnceAndWhole) {
  DiscardMovedArea();
  std::int32_t l = -1, t = -1;
  EXPECT_FALSE(TakeMovedOrigin(&l, &t));
  PublishMovedArea({1, 2, 3, 4});
  PublishMovedArea({5, 6, 7, 8});
  EXPECT_EQ(g_RegionMoved.load(), 1);
  EXPECT_TRUE(g_MovedRect == (CaptureRect{5, 6, 7, 8}));
  EXPECT_TRUE(TakeMovedOrigin(&l, &t));
  EXPECT_EQ(l, 5);
  EXPECT_EQ(t, 6);
  EXPECT_FALSE(TakeMovedOrigin(&l, &t));
  PublishMovedArea({9, 9, 9, 9});
  DiscardMovedArea();
  EXPECT_FALSE(TakeMovedOrigin(&l, &t));
}

TEST(recording_MovedArea, LeftAndTopNeverComeFromDifferentMoves) {
  // Every move has left == top; a taker that ever sees them differ got half of one
  // move and half of another.
  DiscardMovedArea();
  std::atomic<bool> bDone{false};
  std::thread publisher([&] {
    for (std::int32_t i = 0; i < 200000; ++i) PublishMovedArea({i, i, i + 10, i + 10});
    bDone = true;
  });
  int nTaken = 0, nTorn = 0;
  std::int32_t nLast = -1;
  bool bOrdered = true;
  while (!bDone.load() || g_RegionMoved.load()) {
    std::int32_t l, t;
    if (TakeMovedOrigin(&l, &t)) {
      ++nTaken;
      if (l != t) ++nTorn;
      if (l <= nLast) bOrdered = false;
      nLast = l;
    }
  }
  publisher.join();
  EXPECT_GT(nTaken, 0);
  EXPECT_EQ(nTorn, 0);
  EXPECT_TRUE(bOrdered) << "a move is never taken twice or out of order";
  EXPECT_EQ(nLast, 199999) << "the last move is the one that stays";
}

}  // namespace
}  // namespace vantor::test
