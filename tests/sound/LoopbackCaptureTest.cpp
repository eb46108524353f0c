// The loopback reader against stand-ins of the enumerator, the endpoint, the audio
// client and the capture client: how it opens the stream, its cycles (one block per
// wake-up, silent packets dropped, silence for the time nothing was played, nothing
// while paused, no overflow), how every
// failing call ends it cleanly and when it honours the stop flag. Wine's own WASAPI
// cannot show any of this: it refuses the capture client on a playback endpoint.
#include <gtest/gtest.h>

#include <cstring>

#include "SoundDoubles.h"
#include "app/Globals.h"
#include "sound/LoopbackCapture.h"

namespace vantor {
namespace {

using test::CRecordingSink;
using test::WasapiWorld;
using Packet = WasapiWorld::Packet;

constexpr DWORD kGuard = 20000;  // ms: a reader that never ends fails the test
constexpr DWORD kSilent = AUDCLNT_BUFFERFLAGS_SILENT;

class LoopbackCaptureTest : public testing::Test {
 protected:
  LoopbackCaptureTest() : storage(kLoopbackBlockBytes + 4096, 0xEE), capture(storage.data(), kLoopbackBlockBytes) {}

  void SetUp() override {
    g_bUseLoopback = 1;
    capture.SetEnumeratorFactory(&test::FakeEnumeratorFactory);
    capture.SetSink(&sink);
    // Time stands still unless a test moves it: no cycle then has time to fill.
    capture.SetClock([this] { return nNow.load(); });
    world.pStop = &capture.m_bStop;
  }
  void TearDown() override {
    capture.Stop(true);
    EXPECT_EQ(world.nLiveObjects.load(), 0) << "every interface released";
    g_bUseLoopback = 0;
  }

  // Runs the reader until it ends by itself (the script's stop or a failure).
  void RunToEnd() {
    ASSERT_TRUE(capture.Start());
    ASSERT_TRUE(capture.WaitUntilEnded(kGuard)) << "the reader did not end";
    EXPECT_FALSE(capture.IsReaderRunning());
  }

  std::vector<std::uint8_t> Bytes(std::initializer_list<std::pair<int, int>> packets) const {
    std::vector<std::uint8_t> all;
    for (const auto& [nCycle, nPacket] : packets) {
      const auto b = world.PacketBytes(nCycle, nPacket);
      all.insert(all.end(), b.begin(), b.end());
    }
    return all;
  }

  bool GuardIntact() const {
    for (std::size_t i = kLoopbackBlockBytes; i < storage.size(); ++i)
      if (storage[i] != 0xEE) return false;
    return true;
  }

  WasapiWorld world;
  CRecordingSink sink;
  std::atomic<std::int64_t> nNow{0};  // microseconds
  std::vector<std::uint8_t> storage;
  CLoopbackCapture capture;
};

// ---- Set-up -------------------------------------------------------------------------

TEST_F(LoopbackCaptureTest, OpensTheDefaultPlaybackEndpointInSharedLoopbackForOneSecond) {
  world.cycles = {{}};
  RunToEnd();
  EXPECT_EQ(world.endpointFlow, eRender);
  EXPECT_EQ(world.endpointRole, eConsole);
  EXPECT_EQ(world.initMode, AUDCLNT_SHAREMODE_SHARED);
  EXPECT_EQ(world.dwInitFlags, static_cast<DWORD>(AUDCLNT_STREAMFLAGS_LOOPBACK));
  EXPECT_EQ(world.initDuration, 10000000);
  EXPECT_EQ(world.initPeriod, 0);
  EXPECT_TRUE(world.bInitSessionNull);
  EXPECT_EQ(world.initFormat, world.mixFormat) << "the mix format, extensible part included";
  EXPECT_EQ(world.nStarts, 1);
  EXPECT_EQ(world.nStops, 1);
  EXPECT_EQ(capture.get_LastExit(), LoopbackExit::kStopped);
}

TEST_F(LoopbackCaptureTest, WakesEveryHalfBuffer) {
  struct {
    DWORD nRate;
    UINT32 nFrames;
    std::uint32_t nInterval;
  } const cases[] = {{1000, 20, 10}, {1000, 1000, 500}, {44100, 44100, 500}, {48000, 24000, 250},
                     // Far below a millisecond: still a wait, never a spin.
                     {48000, 10, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nRate);
    world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_IEEE_FLOAT, 2, c.nRate, 32);
    world.nBufferFrames = c.nFrames;
    world.cycles = {{}};
    world.bCycleEnded = true;
    world.nCycle = -1;
    RunToEnd();
    EXPECT_EQ(capture.get_Interval(), c.nInterval);
  }
}

// ---- Cycles -------------------------------------------------------------------------

TEST_F(LoopbackCaptureTest, EachWakeUpDrainsItsPacketsIntoOneBlock) {
  world.cycles = {
      {{10}, {5}, {7}},                       // three packets, one block
      {{4}},                                  //
      {},                                     // nothing came: nothing written
      {{3, kSilent}, {2, kSilent}},           // only silence: an empty block
      {{6}, {3, kSilent}, {2}, {4, 0, true}}, // silence and a packet without data dropped
  };
  RunToEnd();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[0], Bytes({{0, 0}, {0, 1}, {0, 2}}));
  EXPECT_EQ(blocks[1], Bytes({{1, 0}}));
  EXPECT_TRUE(blocks[2].empty());
  EXPECT_EQ(blocks[3], Bytes({{4, 0}, {4, 2}}));
  EXPECT_EQ(world.releasedFrames, (std::vector<UINT32>{10, 5, 7, 4, 3, 2, 6, 3, 2, 4}))
      << "every packet is released with its own frame count, silent ones too";
}

// 1,000 frames a second of 8 bytes: half a second is 4,000 bytes.
TEST_F(LoopbackCaptureTest, SilenceFillsTheTimeNothingWasPlayedSoTheSoundLastsAsLong) {
  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 1000, 32);
  world.cycles = {
      {{500}},                       // half a second of sound
      {},                            // nothing played
      {{300, kSilent}, {200, kSilent}},  // only silence
      {{200}},                       // sound again, after 0.3 s of nothing
      {{500}},                       // paused: neither sound nor time
      {{500}},
  };
  world.onCycle = [this](int nCycle) {
    nNow = 500000 * (std::min(nCycle, 5) + 1);  // every cycle ends half a second later
    sink.SetPaused(nCycle == 4);
  };
  RunToEnd();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 5u);
  EXPECT_EQ(blocks[0], Bytes({{0, 0}}));
  EXPECT_EQ(blocks[1], std::vector<std::uint8_t>(4000, 0)) << "the quiet half second is there";
  EXPECT_EQ(blocks[2], std::vector<std::uint8_t>(4000, 0)) << "silent packets count as silence";
  std::vector<std::uint8_t> want(2400, 0);
  const auto late = Bytes({{3, 0}});
  want.insert(want.end(), late.begin(), late.end());
  EXPECT_EQ(blocks[3], want) << "the sound ends when it arrives, silence in front";
  EXPECT_EQ(blocks[4], Bytes({{5, 0}}));
  EXPECT_EQ(sink.get_TotalBytes(), 20000u) << "2.5 s written for the 2.5 s that were not paused";
}

// The reader starts before the pictures' first grab, the zero of the recording's clock:
// what it hears before that is not the recording's, and the time is counted from it.
TEST_F(LoopbackCaptureTest, SoundBeforeTheRecordingsZeroIsDroppedAndTimeCountsFromIt) {
  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 1000, 32);
  world.cycles = {{{500}}, {{100}}, {{60}, {40}}, {{470}}};
  nNow = kTimeUnknown;
  world.onCycle = [this](int nCycle) {
    static constexpr std::int64_t kAt[] = {kTimeUnknown, -50000, 30000, 500000};
    nNow = kAt[std::min(nCycle, 3)];
  };
  RunToEnd();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  const auto straddling = Bytes({{2, 0}, {2, 1}});
  EXPECT_EQ(blocks[0], std::vector<std::uint8_t>(straddling.end() - 240, straddling.end()))
      << "of the cycle in which the zero passed, only its last 30 ms";
  EXPECT_EQ(blocks[1], Bytes({{3, 0}}));
  EXPECT_EQ(sink.get_TotalBytes(), 4000u) << "0.5 s written for the first 0.5 s, no silence added";
}

TEST_F(LoopbackCaptureTest, ReaderStartingAfterTheZeroFillsTheTimeBeforeItWithSilence) {
  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 1000, 32);
  world.cycles = {{{200}}};
  nNow = 300000;  // the first grab was 0.3 s ago when the stream started
  world.onCycle = [this](int) { nNow = 500000; };
  RunToEnd();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 1u);
  std::vector<std::uint8_t> want(2400, 0);
  const auto sound = Bytes({{0, 0}});
  want.insert(want.end(), sound.begin(), sound.end());
  EXPECT_EQ(blocks[0], want) << "0.3 s of silence, then the sound as it arrived";
}

TEST_F(LoopbackCaptureTest, EightBitSoundIsFilledWithItsOwnSilence) {
  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_PCM, 1, 1000, 8);
  world.cycles = {{}, {{500}}};
  world.onCycle = [this](int nCycle) { nNow = 500000 * (nCycle + 1); };
  RunToEnd();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], std::vector<std::uint8_t>(500, 0x80));
  EXPECT_EQ(blocks[1], Bytes({{1, 0}}));
}

TEST_F(LoopbackCaptureTest, NothingIsWrittenWhilePausedButThePacketsAreDrained) {
  world.cycles = {{{8}}, {{8}}, {{8}, {8}}, {{8}}};
  world.onCycle = [this](int nCycle) { sink.SetPaused(nCycle == 1 || nCycle == 2); };
  RunToEnd();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], Bytes({{0, 0}}));
  EXPECT_EQ(blocks[1], Bytes({{3, 0}})) << "the sound of the pause is lost, not delayed";
  EXPECT_EQ(world.releasedFrames.size(), 5u);
}

TEST_F(LoopbackCaptureTest, NothingIsWrittenWhenTheDeviceIsChosenInstead) {
  g_bUseLoopback = 0;
  world.cycles = {{{8}}, {{8}}};
  RunToEnd();
  EXPECT_TRUE(sink.get_Blocks().empty());
  EXPECT_EQ(world.releasedFrames.size(), 2u);
}

// Eight channels of float at 48 kHz: 1,536,000 bytes in one wake-up.
TEST_F(LoopbackCaptureTest, CycleLargerThanTheBlockIsWrittenInPartsWithoutOverflow) {
  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_IEEE_FLOAT, 8, 48000, 32);
  world.cycles = {WasapiWorld::Cycle(100, Packet{480}), {{480}}};
  RunToEnd();
  EXPECT_TRUE(GuardIntact());
  const auto blocks = sink.get_Blocks();
  std::vector<std::uint8_t> all;
  for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
    EXPECT_LE(blocks[i].size(), kLoopbackBlockBytes);
    EXPECT_EQ(blocks[i].size() % 32, 0u);
    all.insert(all.end(), blocks[i].begin(), blocks[i].end());
  }
  ASSERT_EQ(blocks.size(), 4u) << "the big cycle in three parts, then the next cycle's block";
  std::vector<std::uint8_t> want;
  for (int p = 0; p < 100; ++p) {
    const auto b = world.PacketBytes(0, p);
    want.insert(want.end(), b.begin(), b.end());
  }
  EXPECT_EQ(all, want) << "every byte once, in order";
  EXPECT_EQ(blocks.back(), Bytes({{1, 0}}));
}

// ---- Ending -------------------------------------------------------------------------

TEST_F(LoopbackCaptureTest, StopFlagIsHonouredAfterTheCycleThatSeesIt) {
  world.cycles = {{{4}}, {{5}, {6}}, {{7}}, {{8}}};
  world.nStopAtCycle = 1;  // set while cycle 1 drains
  RunToEnd();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[1], Bytes({{1, 0}, {1, 1}})) << "the cycle that saw the flag is still written";
  EXPECT_EQ(world.nCyclesBegun.load(), 2) << "no cycle after it";
  EXPECT_EQ(world.nStops, 1) << "the client is stopped";
  EXPECT_EQ(capture.get_LastExit(), LoopbackExit::kStopped);
}

TEST_F(LoopbackCaptureTest, StopBeforeTheFirstCycleStopsTheClientAtOnce) {
  world.cycles = {{{4}}};
  world.onClientStart = [this] { capture.m_bStop = 1; };
  RunToEnd();
  EXPECT_EQ(world.nCyclesBegun.load(), 0);
  EXPECT_EQ(world.nStops, 1);
  EXPECT_TRUE(sink.get_Blocks().empty());
}

TEST_F(LoopbackCaptureTest, StopCutsTheSleepShortAndTheLastCycleIsWritten) {
  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 1000, 32);
  world.nBufferFrames = 1000;  // 500 ms between wake-ups
  world.nStopAtCycle = 1000;
  world.cycles = std::vector<WasapiWorld::Cycle>(50, WasapiWorld::Cycle{{3}});
  ASSERT_TRUE(capture.Start());
  ASSERT_TRUE(sink.WaitForBytes(24));
  capture.Stop(true);
  EXPECT_FALSE(capture.IsReaderRunning());
  EXPECT_EQ(sink.get_Blocks().size(), static_cast<std::size_t>(world.nCyclesBegun.load()))
      << "every cycle that began, the last included, was written";
  EXPECT_EQ(capture.get_LastExit(), LoopbackExit::kStopped);
}

TEST_F(LoopbackCaptureTest, StartingAgainEndsTheEarlierReaderFirst) {
  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 1000, 32);
  world.nBufferFrames = 1000;
  world.nStopAtCycle = 1000;
  ASSERT_TRUE(capture.Start());
  ASSERT_TRUE(capture.Start());
  EXPECT_LE(world.nLiveObjects.load(), 4) << "one reader's objects, not two";
  capture.Stop(true);
  EXPECT_EQ(world.nStarts, 2);
  EXPECT_EQ(world.nLiveObjects.load(), 0);
}

struct Failure {
  const char* szWhat;
  std::function<void(WasapiWorld&)> fnBreak;
  LoopbackExit exit;
  std::size_t nBlocks;  // what reached the sink before the failure
};

TEST_F(LoopbackCaptureTest, EveryFailingCallEndsTheReaderCleanly) {
  const Failure failures[] = {
      {"enumerator", [](WasapiWorld& w) { w.hrEnumerator = REGDB_E_CLASSNOTREG; }, LoopbackExit::kNoEnumerator, 0},
      {"endpoint", [](WasapiWorld& w) { w.hrEndpoint = E_NOTFOUND; }, LoopbackExit::kNoEndpoint, 0},
      {"activation", [](WasapiWorld& w) { w.hrActivate = E_FAIL; }, LoopbackExit::kNoClient, 0},
      {"mix format", [](WasapiWorld& w) { w.hrMixFormat = E_OUTOFMEMORY; }, LoopbackExit::kNoMixFormat, 0},
      {"mix format without frames",
       [](WasapiWorld& w) { reinterpret_cast<WAVEFORMATEX*>(w.mixFormat.data())->nBlockAlign = 0; },
       LoopbackExit::kNoMixFormat, 0},
      {"mix format without rate",
       [](WasapiWorld& w) { reinterpret_cast<WAVEFORMATEX*>(w.mixFormat.data())->nSamplesPerSec = 0; },
       LoopbackExit::kNoMixFormat, 0},
      {"initialize", [](WasapiWorld& w) { w.hrInitialize = AUDCLNT_E_UNSUPPORTED_FORMAT; }, LoopbackExit::kInitialize, 0},
      {"buffer size", [](WasapiWorld& w) { w.hrBufferSize = AUDCLNT_E_NOT_INITIALIZED; }, LoopbackExit::kBufferSize, 0},
      {"capture client (as under Wine)", [](WasapiWorld& w) { w.hrService = AUDCLNT_E_WRONG_ENDPOINT_TYPE; },
       LoopbackExit::kCaptureClient, 0},
      {"start", [](WasapiWorld& w) { w.hrStart = AUDCLNT_E_DEVICE_INVALIDATED; }, LoopbackExit::kStart, 0},
      {"first packet size", [](WasapiWorld& w) { w.nFailPacketSizeCall = 1; }, LoopbackExit::kPacketSize, 0},
      {"packet size inside a cycle", [](WasapiWorld& w) { w.nFailPacketSizeCall = 6; }, LoopbackExit::kPacketSize, 2},
      {"packet fetch", [](WasapiWorld& w) { w.nFailGetBufferCall = 5; }, LoopbackExit::kGetBuffer, 2},
      {"packet release", [](WasapiWorld& w) { w.nFailReleaseCall = 5; }, LoopbackExit::kReleaseBuffer, 2},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.szWhat);
    WasapiWorld w;
    w.pStop = &capture.m_bStop;
    w.nStopAtCycle = 1000;  // only the failure ends this reader
    w.cycles = std::vector<WasapiWorld::Cycle>(10, WasapiWorld::Cycle{{2}, {2}, {2}});
    f.fnBreak(w);
    CRecordingSink failSink;
    capture.SetSink(&failSink);
    RunToEnd();
    EXPECT_EQ(capture.get_LastExit(), f.exit) << DescribeLoopbackExit(capture.get_LastExit());
    EXPECT_TRUE(FAILED(capture.get_LastError()));
    EXPECT_EQ(w.nLiveObjects.load(), 0) << "everything released";
    EXPECT_EQ(failSink.get_Blocks().size(), f.nBlocks);
    if (w.nStarts > 0 && f.exit != LoopbackExit::kStart) {
      EXPECT_EQ(w.nStops, 1) << "a started client is stopped";
    }
  }
}

TEST_F(LoopbackCaptureTest, DrainedSoundBeforeAFailureIsKept) {
  world.nStopAtCycle = 1000;
  world.cycles = {{{2}, {3}, {4}}};
  world.nFailGetBufferCall = 3;
  RunToEnd();
  ASSERT_EQ(sink.get_Blocks().size(), 1u);
  EXPECT_EQ(sink.get_Blocks()[0], Bytes({{0, 0}, {0, 1}}));
}

// ---- The format for the file ----------------------------------------------------------

TEST_F(LoopbackCaptureTest, MixFormatComesWholeForTheRecorder) {
  std::vector<std::uint8_t> format;
  ASSERT_TRUE(capture.GetMixFormat(&format));
  EXPECT_EQ(format, world.mixFormat) << "40 bytes: the extensible format with its sub-format";
  EXPECT_EQ(world.nLiveObjects.load(), 0);

  world.mixFormat = test::MakeMixFormat(WAVE_FORMAT_PCM, 2, 44100, 16);
  reinterpret_cast<WAVEFORMATEX*>(world.mixFormat.data())->cbSize = 77;  // a careless driver
  ASSERT_TRUE(capture.GetMixFormat(&format));
  ASSERT_EQ(format.size(), sizeof(WAVEFORMATEX));
  EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(format.data())->cbSize, 0);

  for (HRESULT WasapiWorld::*pStep : {&WasapiWorld::hrEnumerator, &WasapiWorld::hrEndpoint, &WasapiWorld::hrActivate,
                                      &WasapiWorld::hrMixFormat}) {
    world.*pStep = E_FAIL;
    EXPECT_FALSE(capture.GetMixFormat(&format));
    EXPECT_TRUE(format.empty());
    EXPECT_EQ(world.nLiveObjects.load(), 0);
    world.*pStep = S_OK;
  }
}

}  // namespace
}  // namespace vantor
