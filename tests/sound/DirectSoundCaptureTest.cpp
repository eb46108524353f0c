// The DirectSound capture object against a stand-in device: the device list and its
// ties, the ring buffer it asks for, the blocks it reads (whole blocks, across the end
// of the ring, nothing kept from a pause), how the reader ends, and a second recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "SoundDoubles.h"
#include "app/Globals.h"
#include "sound/DirectSoundCapture.h"

namespace vantor {
namespace {

using test::CRecordingSink;
using test::DsWorld;

GUID MakeGuid(std::uint32_t n) {
  GUID g{};
  g.Data1 = 0x5A5A0000u + n;
  g.Data2 = 0x1234;
  g.Data4[7] = static_cast<unsigned char>(n);
  return g;
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
const GUID kZeroGuid{};

class DirectSoundCaptureTest : public testing::Test {
 protected:
  void SetUp() override {
    g_bUseLoopback = 0;
    g_bCaptureDevicePresent = 0;
    capture.SetSystemFunctions(&test::FakeDirectSoundCaptureCreate, &test::FakeDirectSoundCaptureEnumerate);
    capture.SetSink(&sink);
    // The recording's clock runs with the device's (plus what a test adds), so that
    // only what a test arranges is padded or cut.
    capture.SetClock([this] { return world.get_DeviceMicros() + nClockAhead.load(); });
  }
  void TearDown() override {
    capture.Release();
    EXPECT_EQ(world.nLiveObjects.load(), 0) << "every device object released";
    g_bUseLoopback = 0;
  }

  // Starts capturing and checks the reader runs.
  void Start() {
    ASSERT_EQ(capture.SetRunning(1), 0);
    ASSERT_TRUE(capture.IsReaderRunning());
  }

  std::vector<std::uint8_t> PatternBytes(std::uint64_t nFrom, std::uint64_t nCount) {
    std::vector<std::uint8_t> v;
    for (std::uint64_t i = nFrom; i < nFrom + nCount; ++i) v.push_back(DsWorld::PatternByte(i));
    return v;
  }

  DsWorld world;
  CRecordingSink sink;
  std::atomic<std::int64_t> nClockAhead{0};  // microseconds
  CDirectSoundCapture capture;
};

// ---- The device list ----------------------------------------------------------------

// The options page's list is sorted: rows move, their devices must not.
class DeviceListWindow {
 public:
  explicit DeviceListWindow(bool bComboBox) {
    m_hParent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
    m_hList = ::CreateWindowExW(0, bComboBox ? L"COMBOBOX" : L"LISTBOX", L"",
                                WS_CHILD | (bComboBox ? (CBS_DROPDOWNLIST | CBS_SORT) : LBS_SORT), 0, 0, 200, 200,
                                m_hParent, nullptr, nullptr, nullptr);
    m_bComboBox = bComboBox;
  }
  ~DeviceListWindow() { ::DestroyWindow(m_hParent); }
  HWND get() const { return m_hList; }
  int Count() const { return static_cast<int>(::SendMessageW(m_hList, m_bComboBox ? CB_GETCOUNT : LB_GETCOUNT, 0, 0)); }
  std::wstring Text(int nRow) const {
    wchar_t sz[256] = {};
    ::SendMessageW(m_hList, m_bComboBox ? CB_GETLBTEXT : LB_GETTEXT, nRow, reinterpret_cast<LPARAM>(sz));
    return sz;
  }
  std::intptr_t Tie(int nRow) const {
    return static_cast<std::intptr_t>(::SendMessageW(m_hList, m_bComboBox ? CB_GETITEMDATA : LB_GETITEMDATA, nRow, 0));
  }

 private:
  HWND m_hParent, m_hList;
  bool m_bComboBox;
};

TEST_F(DirectSoundCaptureTest, SortedListRowsCreateTheDeviceTheyShow) {
  // Enumerated Zulu first, Alpha second: the sorted list shows them the other way round.
  world.devices = {{MakeGuid(1), L"Zulu microphone"}, {MakeGuid(2), L"Alpha line input"}};
  for (bool bCombo : {true, false}) {
    SCOPED_TRACE(bCombo ? "combo box" : "list box");
    DeviceListWindow list(bCombo);
    ASSERT_TRUE(list.get());
    CWindowDeviceList rows(list.get());
    ASSERT_EQ(rows.AddRow(L"Default input device"), 0);  // item data stays 0
    ASSERT_TRUE(capture.EnumerateDevices(&rows));
    EXPECT_EQ(g_CaptureDeviceCount, 2);
    EXPECT_EQ(g_bCaptureDevicePresent, 1);
    ASSERT_EQ(list.Count(), 3) << "the primary driver without identifier is not listed";
    EXPECT_EQ(list.Text(0), L"Alpha line input");
    EXPECT_EQ(list.Text(1), L"Default input device");
    EXPECT_EQ(list.Text(2), L"Zulu microphone");
    for (int nRow = 0; nRow < list.Count(); ++nRow) {
      const GUID guid = GetTiedCaptureDevice(list.Tie(nRow));
      const std::wstring strText = list.Text(nRow);
      const GUID want = strText == L"Zulu microphone" ? MakeGuid(1)
                        : strText == L"Alpha line input" ? MakeGuid(2)
                                                          : kZeroGuid;
      EXPECT_TRUE(SameGuid(guid, want)) << "row " << nRow;
      // Choosing the row creates exactly that device.
      EXPECT_FALSE(capture.CreateDevice(guid));
      EXPECT_TRUE(SameGuid(world.createdWith.back(), want)) << "row " << nRow;
      EXPECT_TRUE(SameGuid(capture.get_DeviceGuid(), want));
    }
  }
}

TEST_F(DirectSoundCaptureTest, MoreThan128DevicesNeverOverflowTheTable) {
  for (std::uint32_t i = 0; i < 300; ++i) world.devices.push_back({MakeGuid(i), L"Device " + std::to_wstring(i)});
  CDeviceNameList rows;
  ASSERT_TRUE(capture.EnumerateDevices(&rows));
  EXPECT_EQ(g_CaptureDeviceCount, kMaxCaptureDevices);
  ASSERT_EQ(rows.get_Rows().size(), static_cast<std::size_t>(kMaxCaptureDevices))
      << "a device without a place in the table gets no row either";
  for (int i = 0; i < kMaxCaptureDevices; ++i) {
    EXPECT_TRUE(SameGuid(g_CaptureDeviceGuids[i], MakeGuid(static_cast<std::uint32_t>(i))));
    EXPECT_TRUE(SameGuid(GetTiedCaptureDevice(rows.get_Rows()[i].nTie), MakeGuid(static_cast<std::uint32_t>(i))));
  }
  EXPECT_TRUE(SameGuid(GetTiedCaptureDevice(CaptureDeviceTie(kMaxCaptureDevices)), kZeroGuid))
      << "a tie past the table means the default device";
  EXPECT_TRUE(SameGuid(GetTiedCaptureDevice(-5), kZeroGuid));
}

TEST_F(DirectSoundCaptureTest, ListingAgainStartsTheTableAfresh) {
  world.devices = {{MakeGuid(1), L"One"}, {MakeGuid(2), L"Two"}};
  CDeviceNameList first, second;
  capture.EnumerateDevices(&first);
  capture.EnumerateDevices(&second);
  EXPECT_EQ(g_CaptureDeviceCount, 2);
  ASSERT_EQ(second.get_Rows().size(), 2u);
  EXPECT_TRUE(SameGuid(GetTiedCaptureDevice(second.get_Rows()[1].nTie), MakeGuid(2)));
}

TEST_F(DirectSoundCaptureTest, FailedEnumerationListsNothing) {
  world.devices = {{MakeGuid(1), L"One"}};
  world.hrEnumerate = DSERR_NODRIVER;
  CDeviceNameList rows;
  EXPECT_FALSE(capture.EnumerateDevices(&rows));
  EXPECT_TRUE(rows.get_Rows().empty());
  EXPECT_EQ(g_bCaptureDevicePresent, 0);
}

TEST_F(DirectSoundCaptureTest, DevicesAreFoundByExactNameOrUniquePart) {
  world.devices = {{MakeGuid(1), L"Monitor of VantorSinkA"}, {MakeGuid(2), L"Monitor of VantorSinkB"},
                   {MakeGuid(3), L"VantorSinkA"}};
  GUID guid{};
  std::wstring strError;
  ASSERT_TRUE(FindCaptureDevice(L"VantorSinkA", &guid, &strError, capture));
  EXPECT_TRUE(SameGuid(guid, MakeGuid(3))) << "an exact name wins over a part";
  ASSERT_TRUE(FindCaptureDevice(L"sinkb", &guid, &strError, capture));
  EXPECT_TRUE(SameGuid(guid, MakeGuid(2)));
  EXPECT_FALSE(FindCaptureDevice(L"Monitor", &guid, &strError, capture));
  EXPECT_NE(strError.find(L"several"), std::wstring::npos);
  EXPECT_FALSE(FindCaptureDevice(L"nothing like it", &guid, &strError, capture));
  ASSERT_TRUE(FindCaptureDevice(L"", &guid, &strError, capture));
  EXPECT_TRUE(SameGuid(guid, kZeroGuid));
}

// ---- Starting -----------------------------------------------------------------------

TEST_F(DirectSoundCaptureTest, StartAsksForSixteen480ByteBlocksOfTheFixedFormat) {
  ASSERT_FALSE(capture.CreateDevice(kZeroGuid));
  Start();
  EXPECT_EQ(world.desc.dwSize, sizeof(DSCBUFFERDESC));
  EXPECT_EQ(world.desc.dwFlags, 0u);
  EXPECT_EQ(world.desc.dwBufferBytes, 7680u);
  EXPECT_EQ(world.desc.dwReserved, 0u);
  EXPECT_EQ(world.format.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(world.format.nChannels, 1);
  EXPECT_EQ(world.format.nSamplesPerSec, 48000u);
  EXPECT_EQ(world.format.wBitsPerSample, 8);
  EXPECT_EQ(world.format.nBlockAlign, 1);
  EXPECT_EQ(world.format.nAvgBytesPerSec, 48000u);
  EXPECT_EQ(world.format.cbSize, 0);
  ASSERT_EQ(world.notifications.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(world.notifications[i].dwOffset, 480u * (i + 1) - 1);
    EXPECT_EQ(world.notifications[i].hEventNotify, world.notifications[0].hEventNotify);
  }
  EXPECT_NE(world.notifications[0].hEventNotify, nullptr);
  EXPECT_EQ(world.dwStartFlags, static_cast<DWORD>(DSCBSTART_LOOPING));
  EXPECT_EQ(capture.get_BufferBytes(), 7680u);
  EXPECT_EQ(capture.get_NotifyBytes(), 480u);
}

TEST_F(DirectSoundCaptureTest, StartWithoutAChosenDeviceCapturesFromTheDefaultOne) {
  Start();
  ASSERT_EQ(world.createdWith.size(), 1u);
  EXPECT_TRUE(SameGuid(world.createdWith[0], kZeroGuid));
  EXPECT_EQ(world.desc.dwBufferBytes, 7680u) << "the fixed format, not the empty one of construction";
}

struct StartFailure {
  const char* szWhat;
  HRESULT DsWorld::*pResult;
};

TEST_F(DirectSoundCaptureTest, EveryFailingStartStepLeavesNoReader) {
  const StartFailure failures[] = {{"device", &DsWorld::hrCreate},
                                   {"buffer", &DsWorld::hrCreateBuffer},
                                   {"notify interface", &DsWorld::hrQueryNotify},
                                   {"notification points", &DsWorld::hrSetNotify},
                                   {"start", &DsWorld::hrStart}};
  for (const StartFailure& f : failures) {
    SCOPED_TRACE(f.szWhat);
    world.*f.pResult = DSERR_GENERIC;
    capture.CreateDevice(kZeroGuid);
    EXPECT_EQ(capture.SetRunning(1), 1);
    EXPECT_FALSE(capture.IsReaderRunning());
    EXPECT_EQ(capture.SetRunning(0), 0);
    capture.Release();
    EXPECT_EQ(world.nLiveObjects.load(), 0);
    world.*f.pResult = S_OK;
  }
  EXPECT_TRUE(capture.CreateDevice(MakeGuid(9)) == false);
  world.hrCreate = DSERR_NODRIVER;
  EXPECT_TRUE(capture.CreateDevice(MakeGuid(9))) << "true means the creation failed";
  EXPECT_FALSE(capture.HasDevice());
}

// ---- Reading ------------------------------------------------------------------------

TEST_F(DirectSoundCaptureTest, OnlyWholeBlocksAreRead) {
  Start();
  world.Produce(700, false);
  capture.ReadBlock();
  EXPECT_EQ(sink.get_AllBytes(), PatternBytes(0, 480)) << "220 bytes wait for the next wake-up";
  EXPECT_EQ(capture.get_NextOffset(), 480u);
  world.Produce(260, false);
  capture.ReadBlock();
  EXPECT_EQ(sink.get_AllBytes(), PatternBytes(0, 960));
}

TEST_F(DirectSoundCaptureTest, WrappedRangeIsWrittenAsTwoPiecesInOrder) {
  Start();
  world.Produce(7200, false);
  capture.ReadBlock();
  ASSERT_EQ(sink.get_TotalBytes(), 7200u);
  world.Produce(960, false);  // the read position wraps to 480
  capture.ReadBlock();
  const auto blocks = sink.get_Blocks();
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[1], PatternBytes(7200, 480)) << "up to the end of the ring";
  EXPECT_EQ(blocks[2], PatternBytes(7680, 480)) << "then from its start";
  EXPECT_EQ(world.lockedRanges.back(), std::make_pair(DWORD{7200}, DWORD{960}));
  EXPECT_EQ(capture.get_NextOffset(), 480u);
  EXPECT_EQ(world.nLocks, world.nUnlocks);
}

TEST_F(DirectSoundCaptureTest, SoundCapturedWhilePausedNeverReachesTheFile) {
  Start();
  world.Produce(480, false);
  capture.ReadBlock();
  sink.SetPaused(true);
  capture.ObservePause();  // paused at byte 480
  world.Produce(4800, false);
  capture.ReadBlock();
  world.Produce(1000, false);
  capture.ReadBlock();
  sink.SetPaused(false);
  capture.ObservePause();  // resumed at byte 6,280
  world.Produce(960, false);
  capture.ReadBlock();
  // The blocks fall across both ends of the pause; exactly its 5,800 bytes are left out.
  std::vector<std::uint8_t> want = PatternBytes(0, 480);
  const auto after = PatternBytes(6280, 920);
  want.insert(want.end(), after.begin(), after.end());
  EXPECT_EQ(sink.get_AllBytes(), want);
}

TEST_F(DirectSoundCaptureTest, LateFirstBlockGetsSilenceInFront) {
  Start();
  nClockAhead = 500000;  // the device's first sound arrives half a second into the recording
  world.Produce(960, false);
  capture.ReadBlock();
  const auto all = sink.get_AllBytes();
  ASSERT_EQ(all.size(), 24000u + 960u);
  EXPECT_EQ(std::count(all.begin(), all.begin() + 24000, 0x80), 24000) << "8-bit silence";
  EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + 24000, all.end()), PatternBytes(0, 960));
}

TEST_F(DirectSoundCaptureTest, StopCollectsTheSoundUpToTheEnd) {
  Start();
  world.Produce(480);
  ASSERT_TRUE(sink.WaitForBytes(480));
  nClockAhead = 20000;  // the device is 20 ms behind when the recording stops
  std::thread late([this] {
    while (!capture.IsDraining()) ::Sleep(1);
    world.Produce(960 + 480);  // it catches up, and goes on a little
  });
  EXPECT_EQ(capture.SetRunning(0), 0);
  late.join();
  ASSERT_EQ(sink.get_TotalBytes(), 1440u);
  EXPECT_EQ(sink.get_AllBytes(), PatternBytes(0, 1440)) << "up to the end, nothing after it";
  EXPECT_FALSE(capture.IsReaderRunning());
}

TEST_F(DirectSoundCaptureTest, DeviceThatStopsDeliveringIsFilledWithSilenceToTheEnd) {
  Start();
  world.Produce(480);
  ASSERT_TRUE(sink.WaitForBytes(480));
  nClockAhead = 100000;
  EXPECT_EQ(capture.SetRunning(0), 0);  // waits a second for sound that never comes
  const auto all = sink.get_AllBytes();
  ASSERT_EQ(all.size(), 480u + 4800u);
  EXPECT_EQ(std::count(all.begin() + 480, all.end(), 0x80), 4800);
}

TEST_F(DirectSoundCaptureTest, LoopbackChosenMeansReadAndDropped) {
  Start();
  g_bUseLoopback = 1;
  world.Produce(960, false);
  capture.ReadBlock();
  EXPECT_EQ(sink.get_TotalBytes(), 0u);
  EXPECT_EQ(world.nLocks, 1) << "the blocks are still read";
  EXPECT_EQ(capture.get_NextOffset(), 960u);
  g_bUseLoopback = 0;
  world.Produce(480, false);
  capture.ReadBlock();
  EXPECT_EQ(sink.get_AllBytes(), PatternBytes(960, 480));
}

TEST_F(DirectSoundCaptureTest, PositionOrLockFailureSkipsOneWakeUpOnly) {
  Start();
  world.Produce(960, false);
  world.hrPosition = DSERR_GENERIC;
  capture.ReadBlock();
  EXPECT_EQ(capture.get_NextOffset(), 0u);
  world.hrPosition = S_OK;
  world.hrLock = DSERR_INVALIDPARAM;
  capture.ReadBlock();
  EXPECT_EQ(capture.get_NextOffset(), 0u);
  EXPECT_EQ(sink.get_TotalBytes(), 0u);
  world.hrLock = S_OK;
  capture.ReadBlock();
  EXPECT_EQ(sink.get_AllBytes(), PatternBytes(0, 960)) << "the next wake-up reads from the same offset";
}

TEST_F(DirectSoundCaptureTest, ReaderThreadHandsOverEveryBlockRoundTheRing) {
  Start();
  const std::uint32_t nTotal = 1440 * 28;  // five and a quarter times round the ring
  for (std::uint32_t nDone = 0; nDone < nTotal; nDone += 1440) {
    world.Produce(1440);
    ASSERT_TRUE(sink.WaitForBytes(nDone + 1440)) << "after " << nDone;
  }
  const auto got = sink.get_AllBytes();
  const auto want = PatternBytes(0, nTotal);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << "byte " << i;
}

// ---- Ending -------------------------------------------------------------------------

TEST_F(DirectSoundCaptureTest, StoppingWaitsForTheReaderBeforeTheEventCloses) {
  Start();
  world.Produce(480);
  ASSERT_TRUE(sink.WaitForBytes(480));
  EXPECT_EQ(capture.SetRunning(0), 0);
  EXPECT_FALSE(capture.IsReaderRunning()) << "the reader ended although no notification comes any more";
  EXPECT_GE(world.nStops, 1);
  const HANDLE hEvent = world.notifications[0].hEventNotify;
  DWORD dwFlags = 0;
  EXPECT_TRUE(::GetHandleInformation(hEvent, &dwFlags)) << "the event lives until Release";
  capture.Release();
  EXPECT_EQ(world.nLiveObjects.load(), 0);
}

TEST_F(DirectSoundCaptureTest, ReleaseAloneAlsoEndsTheReader) {
  Start();
  capture.Release();
  EXPECT_FALSE(capture.IsReaderRunning());
  EXPECT_EQ(world.nLiveObjects.load(), 0);
}

TEST_F(DirectSoundCaptureTest, SecondRecordingCapturesFromTheChosenDeviceAgain) {
  ASSERT_FALSE(capture.CreateDevice(MakeGuid(7)));
  for (int nRecording = 0; nRecording < 3; ++nRecording) {
    SCOPED_TRACE(nRecording);
    const std::size_t nBefore = sink.get_TotalBytes();
    Start();
    EXPECT_TRUE(SameGuid(world.createdWith.back(), MakeGuid(7)));
    world.Produce(960);
    ASSERT_TRUE(sink.WaitForBytes(nBefore + 960));
    capture.SetRunning(0);
    capture.Release();
    EXPECT_FALSE(capture.HasDevice());
    EXPECT_EQ(world.nLiveObjects.load(), 0);
  }
  EXPECT_EQ(world.createdWith.size(), 3u) << "created once by the choice, again for each later recording";
}

TEST_F(DirectSoundCaptureTest, ChoosingAnotherDeviceWhileCapturingTakesEffectNextTime) {
  ASSERT_FALSE(capture.CreateDevice(MakeGuid(1)));
  Start();
  EXPECT_FALSE(capture.CreateDevice(MakeGuid(2)));
  EXPECT_EQ(world.createdWith.size(), 1u) << "the running buffer keeps its device";
  world.Produce(480);
  ASSERT_TRUE(sink.WaitForBytes(480));
  capture.SetRunning(0);
  capture.Release();
  Start();
  EXPECT_TRUE(SameGuid(world.createdWith.back(), MakeGuid(2)));
}

TEST_F(DirectSoundCaptureTest, StartingTwiceLeavesOneReader) {
  Start();
  Start();
  world.Produce(480);
  ASSERT_TRUE(sink.WaitForBytes(480));
  capture.SetRunning(0);
  EXPECT_EQ(sink.get_AllBytes(), PatternBytes(0, 480)) << "no second reader wrote the block twice";
}

}  // namespace
}  // namespace vantor
