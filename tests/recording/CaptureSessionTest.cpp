// A recording's rules on the stand-in platform: the order of the start, the capture
// loop's pacing, frames that cannot be made, pausing and resuming, Stop during a pause,
// moves of the area, the end, and the sound source's place in all of it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

#include "CaptureTestSupport.h"
#include "app/Globals.h"

namespace vantor::test {
namespace {

// The sound choice is process-wide; every test starts and ends without sound.
class recording_CaptureSession : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    g_bUseLoopback = 0;
    g_bCaptureDevicePresent = 0;
    DiscardMovedArea();
  }
};

std::vector<std::string> Slice(const std::vector<std::string>& log, std::size_t nFirst, std::size_t nCount) {
  return std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(nFirst),
                                  log.begin() + static_cast<std::ptrdiff_t>(std::min(log.size(), nFirst + nCount)));
}

TEST_F(recording_CaptureSession, StartLoopAndEndInOrder) {
  CaptureRun run;
  CFakeAudio device(&run.host.log, "device");
  g_bCaptureDevicePresent = 1;
  run.sources.pCaptureDevice = &device;
  run.host.fnOnGrab = [&](int n) {
    if (n == 1) run.control.Stop();
  };
  run.Record(100, 50, 64, 48, 30, L"C:\\rec\\a.avi");

  const std::vector<std::string> expected = {
      "grab first 100,50 64x48",
      "device format",
      "begin",
      "release first",  // the first frame only fixes the format
      "device start",
      "border 100,50 64x48",
      "grab 100,50", "put 0", "release",
      "grab 100,50", "put 1", "release",  // the frame in hand when Stop came
      "device stop",
      "hide border",
      "end",  // Stop told the encoder; it closes the file itself
  };
  EXPECT_EQ(run.host.log, expected);
  EXPECT_EQ(run.host.beganWith.biWidth, 64);
  EXPECT_EQ(run.host.beganWith.biHeight, 48);
  EXPECT_EQ(run.host.beganWith.biSizeImage, 192u * 48);
  EXPECT_EQ(run.host.dBeganFps, 30.0);
  EXPECT_EQ(run.host.strBeganName, L"C:\\rec\\a.avi");
  EXPECT_EQ(run.host.audioFormat.get()->wFormatTag, 3) << "the source's own format";
  EXPECT_EQ(run.host.nLiveFrames, 0) << "every frame released";
  EXPECT_TRUE(run.outcome.bStarted);
  EXPECT_EQ(run.outcome.nGrabs, 2u);
  EXPECT_EQ(run.control.get_Grabs(), 2u);
}

// The sound and the pictures start at one moment: the sound's clock, started before
// the first grab, reads zero at that grab and then runs with the frames' own clock.
TEST_F(recording_CaptureSession, TheSoundCountsFromTheFirstGrab) {
  CaptureRun run;
  CFakeAudio device(&run.host.log, "device");
  g_bCaptureDevicePresent = 1;
  run.sources.pCaptureDevice = &device;
  std::vector<std::int64_t> atGrab;
  run.host.fnOnGrab = [&](int n) {
    atGrab.push_back(device.clock());
    if (n == 2) run.control.Stop();
  };
  run.Record(0, 0, 8, 8, 10);
  EXPECT_EQ(device.nClockAtStart, kClockBeforeFirstGrab) << "started ahead of the pictures";
  // Each grab reads the clock 5 ms (the fake grab's cost) after it began; frames are
  // due every 100 ms from the first.
  EXPECT_EQ(atGrab, (std::vector<std::int64_t>{5000, 105000, 205000}));
}

// A rate typed with a fraction is the rate recorded: the encoder and the file get it to
// a thousandth, and frames fall due at it (12.5 a second: every 80 ms).
TEST_F(recording_CaptureSession, TheChosenRateIsKeptToAThousandthOfAFrame) {
  struct Case {
    float fRate;
    std::uint32_t nMillis;
    std::uint32_t nInterval;
    std::uint32_t nFourthDue;  // ms after the first grab
  } cases[] = {{25.0f, 25000, 40, 160},   {29.97f, 29970, 33, 133}, {12.5f, 12500, 80, 320},
               {30.0f, 30000, 33, 133},   {60.0f, 60000, 16, 66},   {5.0f, 5000, 200, 800},
               {1.0f, 1000, 1000, 4000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fRate);
    EXPECT_EQ(MilliFramesPerSecond(c.fRate), c.nMillis);
    CaptureRun run;
    std::vector<std::uint32_t> starts;
    run.host.fnOnGrab = [&](int n) {
      starts.push_back(run.host.nNow - run.host.nGrabCostMs);
      if (n == 4) run.control.Stop();
    };
    run.Record(0, 0, 8, 8, c.fRate);
    EXPECT_EQ(run.outcome.nIntervalMs, c.nInterval);
    EXPECT_DOUBLE_EQ(run.host.dBeganFps, c.nMillis / 1000.0) << "the encoder and the file get the chosen rate";
    ASSERT_EQ(starts.size(), 5u);
    EXPECT_EQ(starts[4] - starts[0], c.nFourthDue);
  }
}

TEST_F(recording_CaptureSession, FrameRateBelowOneRecordsNothing) {
  for (float fRate : {0.0f, 0.5f, 0.999f, -3.0f, std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(MilliFramesPerSecond(fRate), 0u) << fRate;
    CaptureRun run;
    run.Record(0, 0, 8, 8, fRate);
    EXPECT_FALSE(run.outcome.bStarted) << fRate;
    EXPECT_NE(run.outcome.strError.find("frame rate"), std::string::npos) << run.outcome.strError;
    EXPECT_TRUE(run.host.log.empty()) << "no grab, no file, no border";
  }
}

// Grabs slower than the rate are never hurried to make up what they missed; the frame
// before a missed one takes its place, so that the file still lasts as long as it ran.
TEST_F(recording_CaptureSession, LateGrabsAreNotMadeUpButTheirFramesKeepTheirPlaces) {
  CaptureRun run;
  run.host.nGrabCostMs = 50;  // longer than the 33 ms interval
  run.host.fnOnGrab = [&](int n) {
    if (n == 3) run.control.Stop();
  };
  run.Record(0, 0, 8, 8, 30);
  EXPECT_TRUE(run.host.sleeps.empty()) << "the next grab starts at once";
  EXPECT_EQ(run.outcome.nGrabs, 4u);
  EXPECT_EQ(run.host.handedOver, (std::vector<int>{0, 1, 2, 3}));
  // Grabs at 0, 50, 100 and 150 ms for the frames due at 0, 33, 100 and 133 ms: the one
  // due at 66 ms had no grab of its own and repeats the frame before it. The one due at
  // 166 ms fell due during the last grab, while Stop ended the recording: it lies after
  // the end and is not added. Five places for the 150 to 200 ms it ran.
  EXPECT_EQ(run.host.repeats, (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(run.outcome.nRepeated, 1u);
}

// A grab held up for a long moment (a busy machine) still leaves one place per frame due.
TEST_F(recording_CaptureSession, AStallKeepsEveryFramePlaceOfItsTime) {
  CaptureRun run;
  run.host.fnOnGrab = [&](int n) {
    if (n == 2) run.host.nNow += 1000;  // the second grab of the loop takes a second more
    if (n == 4) run.control.Stop();
  };
  run.Record(0, 0, 8, 8, 25);
  ASSERT_EQ(run.host.repeats.size(), 1u);
  // 40 ms frames: about 25 fell due during the stalled second. The grab after it takes
  // the latest of them; the frame before the stall stands in for the others.
  EXPECT_EQ(run.outcome.nGrabs, 5u);
  EXPECT_EQ(run.outcome.nRepeated, run.host.repeats[0]);
  EXPECT_GE(run.host.repeats[0], 24u);
  EXPECT_LE(run.host.repeats[0], 25u);
}

TEST_F(recording_CaptureSession, ClockWrapDoesNotUpsetThePacing) {
  CaptureRun run;
  run.host.nNow = 0xFFFFFFF0u;
  run.host.fnOnGrab = [&](int n) {
    if (n == 3) run.control.Stop();
  };
  run.Record(0, 0, 8, 8, 30);
  // Frames due at 33, 66 and 100 ms after the first, each grab costing 5 ms.
  EXPECT_EQ(run.host.sleeps, (std::vector<std::uint32_t>{28, 28, 29}));
}

// Frames are due at exact fractions of a second from the first, so that a recording of
// N seconds holds N x rate frames and plays as long as it ran, at every rate; paused
// time is left out of the schedule.
TEST_F(recording_CaptureSession, FramesAreDueAtExactFractionsOfASecond) {
  for (std::int32_t nFps : {60, 30, 29, 25, 7}) {
    SCOPED_TRACE(nFps);
    CaptureRun run;
    std::vector<std::uint32_t> starts;
    const int nFrames = 10 * nFps + 1;
    std::uint32_t nRecordedAtLast = 0;
    bool bRecordedBeforeFirst = true;
    run.host.fnOnGrab = [&](int n) {
      const std::uint32_t nStart = run.host.nNow - run.host.nGrabCostMs;
      starts.push_back(nStart);
      std::uint32_t nIgnored = 0;
      if (n == 0) bRecordedBeforeFirst = run.control.get_RecordedMs(nStart, &nIgnored);
      if (n == nFps) run.control.TogglePause();
      if (n == nFrames - 1) {
        EXPECT_TRUE(run.control.get_RecordedMs(nStart, &nRecordedAtLast));
        run.control.Stop();
      }
    };
    run.host.fnOnPausePoll = [&](int nPoll) {
      if (nPoll == 9) run.control.TogglePause();  // half a second paused
    };
    run.Record(0, 0, 8, 8, nFps);
    ASSERT_EQ(starts.size(), static_cast<std::size_t>(nFrames));
    // Frames 0..rate: the first second; then the pause; then ten seconds more from the
    // first grab after it.
    for (int k = 0; k <= nFps; ++k)
      EXPECT_EQ(starts[k] - starts[0], static_cast<std::uint32_t>(k * 1000 / nFps)) << k;
    const std::uint32_t nResume = starts[nFps + 1];
    EXPECT_GE(nResume - starts[nFps], 500u) << "the pause";
    for (int k = nFps + 1; k < nFrames; ++k)
      EXPECT_EQ(starts[k] - nResume, static_cast<std::uint32_t>((k - nFps - 1) * 1000 / nFps)) << k;
    // The recording's clock leaves out exactly what the file leaves out: from the moment
    // frame rate + 1 fell due (the frames before fill the time up to it) to the first
    // grab after the pause. It runs from the loop's first grab, not from Record.
    const std::uint32_t nPauseStart = starts[0] + static_cast<std::uint32_t>((nFps + 1) * 1000 / nFps);
    EXPECT_EQ(run.outcome.nPausedMs, nResume - nPauseStart);
    EXPECT_EQ(nRecordedAtLast, (nPauseStart - starts[0]) + (starts[nFrames - 1] - nResume));
    EXPECT_TRUE(bRecordedBeforeFirst) << "counted from the first grab, which has begun";
  }
}

// A recording of a fixed length ends by itself when its time is full, whenever another
// thread would have looked: at 30 frames per second 1 s holds the frames due at 0 to
// 966 ms, and a pause in between is not counted. Every frame reaches the file.
TEST_F(recording_CaptureSession, FixedLengthEndsByItselfWithItsTimeFull) {
  for (bool bPause : {false, true}) {
    SCOPED_TRACE(bPause);
    CaptureRun run;
    run.nDurationMs = 1000;
    run.host.fnOnGrab = [&](int n) {
      if (bPause && n == 10) run.control.TogglePause();
    };
    run.host.fnOnPausePoll = [&](int nPoll) {
      if (nPoll == 5) run.control.TogglePause();
    };
    run.Record(0, 0, 8, 8, 30);
    // Whole milliseconds: the 11 frames before the pause took 366 ms, not 366.7, so the
    // paused recording may hold one frame more (within a frame of its time).
    EXPECT_GE(run.outcome.nGrabs, 30u);
    EXPECT_LE(run.outcome.nGrabs, bPause ? 31u : 30u);
    EXPECT_EQ(run.outcome.nRepeated, 0u);
    EXPECT_EQ(run.outcome.nPausedMs > 0, bPause);
    EXPECT_TRUE(run.control.IsFinishRequested(1)) << "drained: every frame grabbed is written";
  }
}

TEST_F(recording_CaptureSession, FrameThatCannotBeMadeIsSkippedWithoutACopy) {
  CaptureRun run;
  run.host.fnNoFrame = [](int n) { return n == 1 || n == 2 || n == 4; };
  run.host.nWrongSizeGrab = 5;
  run.host.fnOnGrab = [&](int n) {
    if (n == 6) run.control.Stop();
  };
  run.Record(0, 0, 8, 8, 30);
  EXPECT_EQ(run.host.handedOver, (std::vector<int>{0, 3, 6})) << "only whole frames of the first frame's size";
  EXPECT_EQ(run.outcome.nGrabs, 3u);
  EXPECT_EQ(run.outcome.nSkipped, 4u);
  EXPECT_EQ(run.host.nLiveFrames, 0);
  // The loop keeps its pace through the failures.
  EXPECT_EQ(run.host.grabs.size(), 7u);
}

TEST_F(recording_CaptureSession, PixelsAreTakenAfterTheColourTable) {
  CaptureRun run;
  run.host.nColorEntries = 3;
  run.host.fnOnGrab = [&](int n) {
    if (n == 1) run.control.Stop();
  };
  run.Record(0, 0, 8, 8, 30);
  EXPECT_EQ(run.host.handedOver, (std::vector<int>{0, 1})) << "not the colour table's 0xEE";
}

TEST_F(recording_CaptureSession, PauseStopsGrabbingAndASecondPauseResumes) {
  CaptureRun run;
  int nGrabsWhenPaused = -1;
  run.host.fnOnGrab = [&](int n) {
    if (n == 2) {
      EXPECT_TRUE(run.control.TogglePause());
    }
    if (n == 5) run.control.Stop();
  };
  run.host.fnOnPausePoll = [&](int nPoll) {
    if (nPoll == 0) nGrabsWhenPaused = static_cast<int>(run.host.grabs.size());
    EXPECT_EQ(run.host.grabs.size(), 3u) << "no grab while paused";
    if (nPoll == 19) {
      EXPECT_FALSE(run.control.TogglePause());  // a second Pause resumes
    }
  };
  run.Record(0, 0, 8, 8, 30);
  EXPECT_TRUE(run.host.bSawPauseWait);
  EXPECT_EQ(nGrabsWhenPaused, 3);
  EXPECT_EQ(run.host.handedOver, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  // Between grab 2 and grab 3: the rest of grab 2's interval, then twenty 50 ms polls;
  // the schedule starts again at grab 3.
  std::vector<std::uint32_t> expectedSleeps = {28, 28, 29};
  expectedSleeps.insert(expectedSleeps.end(), 20, 50);
  expectedSleeps.insert(expectedSleeps.end(), {28, 28});
  EXPECT_EQ(run.host.sleeps, expectedSleeps);
}

TEST_F(recording_CaptureSession, RecordResumesAPausedRecording) {
  CaptureRun run;
  run.host.fnOnGrab = [&](int n) {
    if (n == 1) run.control.TogglePause();
    if (n == 3) run.control.Stop();
  };
  run.host.fnOnPausePoll = [&](int nPoll) {
    if (nPoll == 2) {
      EXPECT_EQ(run.control.Start([](std::uint64_t) { ADD_FAILURE() << "a second recording"; }),
                CRecordingControl::StartResult::kResumed);
    }
  };
  run.Record(0, 0, 8, 8, 30);
  EXPECT_EQ(run.host.handedOver, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(run.paused.load(), 0);
}

TEST_F(recording_CaptureSession, StopDuringAPauseEndsTheRecordingWithoutAnotherFrame) {
  CaptureRun run;
  run.host.fnOnGrab = [&](int n) {
    if (n == 2) run.control.TogglePause();
  };
  run.host.fnOnPausePoll = [&](int nPoll) {
    if (nPoll == 5) run.control.Stop();
  };
  run.Record(0, 0, 8, 8, 30);
  EXPECT_EQ(run.host.grabs.size(), 3u);
  EXPECT_EQ(run.outcome.nGrabs, 3u);
  ASSERT_GE(run.host.log.size(), 2u);
  EXPECT_EQ(Slice(run.host.log, run.host.log.size() - 2, 2), (std::vector<std::string>{"hide border", "end"}));
  EXPECT_FALSE(run.control.IsInPauseWait());
}

TEST_F(recording_CaptureSession, FinishLetsEveryGrabbedFrameReachTheFile) {
  CaptureRun run;
  run.host.fnOnGrab = [&](int n) {
    if (n == 4) run.control.Finish();
  };
  run.Record(0, 0, 8, 8, 30);
  EXPECT_EQ(run.outcome.nGrabs, 5u);
  EXPECT_EQ(run.host.log.back(), "end drain");
}

TEST_F(recording_CaptureSession, MoveShiftsTheOriginFromTheNextFrameAndKeepsTheSize) {
  CaptureRun run;
  run.host.fnOnGrab = [&](int n) {
    // Published while frame 1 is grabbed: frame 2 is the first at the new place. Only
    // the left and top count; the size stays the recording's.
    if (n == 1) PublishMovedArea({300, 200, 300 + 99, 200 + 99});
    if (n == 4) PublishMovedArea({-5, 7, 0, 12});
    if (n == 5) run.control.Stop();
  };
  run.Record(10, 20, 64, 48, 30);
  ASSERT_EQ(run.host.grabs.size(), 6u);
  const std::pair<int, int> expected[] = {{10, 20}, {10, 20}, {300, 200}, {300, 200}, {300, 200}, {-5, 7}};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(run.host.grabs[i].nLeft, expected[i].first) << i;
    EXPECT_EQ(run.host.grabs[i].nTop, expected[i].second) << i;
    EXPECT_EQ(run.host.grabs[i].nWidth, 64) << i;
    EXPECT_EQ(run.host.grabs[i].nHeight, 48) << i;
  }
  EXPECT_EQ(g_RegionMoved.load(), 0) << "taken";
}

TEST_F(recording_CaptureSession, MoveLeftOverFromAnEarlierRecordingIsForgotten) {
  PublishMovedArea({500, 500, 600, 600});
  CaptureRun run;
  run.host.fnOnGrab = [&](int n) {
    if (n == 1) run.control.Stop();
  };
  run.Record(10, 20, 64, 48, 30);
  ASSERT_EQ(run.host.grabs.size(), 2u);
  EXPECT_EQ(run.host.grabs[0].nLeft, 10);
  EXPECT_EQ(run.host.grabs[0].nTop, 20);
}

TEST_F(recording_CaptureSession, StartFailuresLeaveNothingRunning) {
  {
    CaptureRun run;
    CFakeAudio device(&run.host.log, "device");
    g_bCaptureDevicePresent = 1;
    run.sources.pCaptureDevice = &device;
    run.host.bFirstGrabFails = true;
    run.Record(0, 0, 8, 8, 30);
    EXPECT_FALSE(run.outcome.bStarted);
    EXPECT_FALSE(run.outcome.strError.empty());
    EXPECT_EQ(run.host.log, (std::vector<std::string>{"grab first 0,0 8x8"}));
  }
  {
    CaptureRun run;
    CFakeAudio device(&run.host.log, "device");
    g_bCaptureDevicePresent = 1;
    run.sources.pCaptureDevice = &device;
    run.host.nBeginResult = kFail;
    run.Record(0, 0, 8, 8, 30);
    EXPECT_FALSE(run.outcome.bStarted);
    EXPECT_EQ(run.outcome.strError, "no file for you");
    EXPECT_EQ(run.host.log, (std::vector<std::string>{"grab first 0,0 8x8", "device format", "begin", "release first"}))
        << "no sound started, no border shown";
    EXPECT_EQ(run.host.nLiveFrames, 0);
  }
  {
    CaptureRun run;
    run.Record(0, 0, 0, 8, 30);
    EXPECT_FALSE(run.outcome.bStarted);
    EXPECT_TRUE(run.host.log.empty());
  }
}

TEST_F(recording_CaptureSession, SoundSourceChoice) {
  struct Case {
    std::int32_t bLoopback, bDevicePresent;
    bool bLoopbackSet, bDeviceSet, bAvailable;
    const char* szSource;  // null: no sound
  } cases[] = {
      {1, 1, true, true, true, "loopback"},
      {1, 0, true, false, true, "loopback"},
      {0, 1, true, true, true, "device"},
      {0, 0, true, true, true, nullptr},
      // Loopback chosen but not there, or not able to record now: no sound rather than
      // another source the user did not choose.
      {1, 1, false, true, true, nullptr},
      {1, 0, true, false, false, nullptr},
      {0, 1, false, false, true, nullptr},
  };
  for (const Case& c : cases) {
    CaptureRun run;
    CFakeAudio loopback(&run.host.log, "loopback", c.bAvailable);
    CFakeAudio device(&run.host.log, "device", c.bAvailable);
    g_bUseLoopback = c.bLoopback;
    g_bCaptureDevicePresent = c.bDevicePresent;
    run.sources.pLoopback = c.bLoopbackSet ? &loopback : nullptr;
    run.sources.pCaptureDevice = c.bDeviceSet ? &device : nullptr;
    run.host.fnOnGrab = [&](int) { run.control.Stop(); };
    run.Record(0, 0, 8, 8, 30);
    int nStarts = 0, nStops = 0;
    for (const std::string& s : run.host.log) {
      nStarts += s.size() > 6 && s.compare(s.size() - 6, 6, " start") == 0;
      nStops += s.size() > 5 && s.compare(s.size() - 5, 5, " stop") == 0;
    }
    if (c.szSource) {
      EXPECT_EQ(run.host.audioFormat.get()->wFormatTag, 3) << c.szSource;
      EXPECT_NE(std::find(run.host.log.begin(), run.host.log.end(), std::string(c.szSource) + " start"),
                run.host.log.end());
      EXPECT_EQ(nStarts, 1);
      EXPECT_EQ(nStops, 1);
    } else {
      const WaveFormatEx d = DefaultCaptureFormat();
      EXPECT_EQ(std::memcmp(run.host.audioFormat.get(), &d, sizeof d), 0) << "the capture format, silent";
      EXPECT_EQ(nStarts, 0);
      EXPECT_EQ(nStops, 0);
    }
  }
  const WaveFormatEx d = DefaultCaptureFormat();
  EXPECT_EQ(d.wFormatTag, 1);
  EXPECT_EQ(d.nChannels, 1);
  EXPECT_EQ(d.nSamplesPerSec, 48000u);
  EXPECT_EQ(d.nAvgBytesPerSec, 48000u);
  EXPECT_EQ(d.nBlockAlign, 1);
  EXPECT_EQ(d.wBitsPerSample, 8);
  EXPECT_EQ(d.cbSize, 0);
}

// A source whose format is extensible with a sub-format no plain tag names: the
// recording hands the encoder all of it, the sub-format included, and records its sound.
TEST_F(recording_CaptureSession, ExtensibleFormatReachesTheEncoderWhole) {
  CaptureRun run;
  CFakeAudio loopback(&run.host.log, "loopback");
  WaveFormatExtensible mix{};
  mix.Format = {kWaveFormatExtensible, 6, 48000, 1152000, 24, 32, 22};
  mix.wValidBitsPerSample = 24;
  mix.dwChannelMask = 0x3F;
  const std::uint8_t kSubFormat[16] = {0x3C, 0x2F, 0x8A, 0x6B, 0x4E, 0x1D, 0x5F, 0x4C,
                                       0x9A, 0x7B, 0x0E, 0x1D, 0x2C, 0x3B, 0x4A, 0x59};
  std::memcpy(mix.SubFormat, kSubFormat, sizeof kSubFormat);
  loopback.format = mix;
  g_bUseLoopback = 1;
  run.sources.pLoopback = &loopback;
  run.host.fnOnGrab = [&](int) { run.control.Stop(); };
  run.Record(0, 0, 8, 8, 30);

  ASSERT_TRUE(run.outcome.bStarted);
  ASSERT_EQ(run.host.audioFormat.get_Size(), 40u);
  EXPECT_EQ(std::memcmp(run.host.audioFormat.get(), &mix, sizeof mix), 0) << "all 40 bytes, the sub-format intact";
  const WaveFormatExtensible* pGot = run.host.audioFormat.get_Extensible();
  ASSERT_NE(pGot, nullptr);
  EXPECT_EQ(std::memcmp(pGot->SubFormat, kSubFormat, sizeof kSubFormat), 0);
  EXPECT_NE(std::find(run.host.log.begin(), run.host.log.end(), "loopback start"), run.host.log.end())
      << "the sound is recorded";
}

}  // namespace
}  // namespace vantor::test

namespace vantor::test {
namespace {

// A host that, when it is destroyed at the program's end, checks that the recording
// ended before it, drained (every grabbed frame handed over), and that nothing runs.
class CProgramEndHost final : public CFakeCaptureHost {
 public:
  ~CProgramEndHost() override {
    if (log.empty() || log.back() != "end drain") std::_Exit(5);
    if (pControl && pControl->IsThreadRunning()) std::_Exit(6);
  }
};

// Starts a recording on engine and host objects that live as long as the program, as
// the programs' do, and ends the program while it runs.
[[noreturn]] void RecordThenEndTheProgram() {
  static std::atomic<std::int32_t> s_Recording{0};
  static std::atomic<std::int32_t> s_Paused{0};
  static CProgramEndHost s_Host;
  static CRecordingEngine s_Engine(s_Host, {}, s_Recording, s_Paused);
  s_Host.pControl = &s_Engine.get_Control();
  s_Host.strNextName = L"C:\\rec\\end.avi";
  s_Host.fnOnGrab = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
  RecordingSettings settings;
  settings.rcArea = {0, 0, 15, 15};
  settings.fFrameRate = 30;
  if (s_Engine.Record(settings) != RecordResult::kStarted) std::_Exit(3);
  while (s_Engine.get_Control().get_Grabs() < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::exit(0);
}

// The program ends (exit, or main returning) while a recording runs. The engine is made
// after the objects it drives, so it is destroyed first and finishes the recording; a
// sanitizer build sees any use of an object after its end.
TEST(recording_EngineEnd, ProgramEndFinishesTheRunningRecording) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RecordThenEndTheProgram(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vantor::test
