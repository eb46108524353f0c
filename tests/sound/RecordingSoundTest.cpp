// The program's two sound sources as a screen recording drives them (PrepareFormat,
// Start after the file is open, Stop at the end), writing into g_Recorder: the blocks
// land in the file as "01wb" chunks, a pause is left out, the next recording captures
// from the chosen device again, a loopback without an endpoint means no sound, and one
// of an unusual sub-format is recorded under its whole format.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "RecorderTestSupport.h"
#include "SoundDoubles.h"
#include "app/Globals.h"
#include "media/AviRecorder.h"
#include "sound/DirectSoundCapture.h"
#include "recording/GdiRecording.h"
#include "sound/LoopbackCapture.h"
#include "sound/RecordingSound.h"

namespace vantor {
namespace {

using test::DsWorld;
using test::WasapiWorld;

class RecordingSoundTest : public testing::Test {
 protected:
  void SetUp() override {
    g_Paused = 0;
    g_bUseLoopback = 0;
    g_Recorder.SetBinding(xvid.MakeBinding());
    g_DirectSoundCapture.SetSystemFunctions(&test::FakeDirectSoundCaptureCreate,
                                            &test::FakeDirectSoundCaptureEnumerate);
    g_DirectSoundCapture.SetClock([this] { return ds.get_DeviceMicros(); });
    g_LoopbackCapture.SetEnumeratorFactory(&test::FakeEnumeratorFactory);
  }
  void TearDown() override {
    g_DirectSoundCapture.Release();
    g_DirectSoundCapture.SetSystemFunctions(nullptr, nullptr);
    g_DirectSoundCapture.SetClock({});
    g_LoopbackCapture.Stop(true);
    g_LoopbackCapture.SetEnumeratorFactory(nullptr);
    g_Recorder.Close();
    g_Recorder.SetBinding(nullptr);
    g_Paused = 0;
    g_bUseLoopback = 0;
  }

  // The recording thread's part up to the open file, with the source's format.
  void OpenFile(IRecordingAudio& audio, const std::string& strName) {
    const WaveFormatBlock* pFormat = audio.PrepareFormat();
    ASSERT_NE(pFormat, nullptr);
    const BitmapInfoHeader frame = test::MakeFrameHeader(16, 16);
    g_Recorder.Reset();
    g_Recorder.SetAudioFormat(pFormat->get());
    g_Recorder.SetVideoFormat(&frame);
    ASSERT_EQ(g_Recorder.CreateEncoder(16, 16, 10), kOk);
    strFile = dir.File(strName);
    ASSERT_EQ(g_Recorder.Open(strFile), kOk);
  }

  std::vector<std::uint8_t> SoundInFile() {
    test::CAviReader reader;
    EXPECT_TRUE(reader.Load(strFile)) << reader.get_Error();
    std::vector<std::uint8_t> all;
    for (const test::AviChunkRef& chunk : reader.get_Chunks("01wb")) {
      const auto data = reader.get_Data(chunk);
      all.insert(all.end(), data.begin(), data.end());
    }
    return all;
  }

  std::vector<std::uint8_t> Pattern(std::uint64_t nFrom, std::uint64_t nCount) {
    std::vector<std::uint8_t> v;
    for (std::uint64_t i = nFrom; i < nFrom + nCount; ++i) v.push_back(DsWorld::PatternByte(i));
    return v;
  }

  // A recording clock whose zero is now.
  static RecordingClock SteadyClock() {
    const auto start = std::chrono::steady_clock::now();
    return [start] {
      return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    };
  }

  test::CTempDir dir;
  test::CFakeXvid xvid;
  DsWorld ds;
  WasapiWorld wasapi;
  std::string strFile;
};

TEST_F(RecordingSoundTest, TheProgramChoosesAmongItsReaders) {
  const RecordingSoundSources sources = ProgramSoundSources();
  EXPECT_EQ(sources.pLoopback, &g_LoopbackRecordingAudio);
  EXPECT_EQ(sources.pCaptureDevice, &g_DeviceRecordingAudio);
  const std::int32_t bSavedDevice = g_bCaptureDevicePresent;
  g_bUseLoopback = 1;
  g_bCaptureDevicePresent = 1;
  EXPECT_EQ(ChooseRecordingAudio(ProgramSoundChoice(), sources), &g_LoopbackRecordingAudio);
  g_bUseLoopback = 0;
  EXPECT_EQ(ChooseRecordingAudio(ProgramSoundChoice(), sources), &g_DeviceRecordingAudio);
  g_bCaptureDevicePresent = 0;
  EXPECT_EQ(ChooseRecordingAudio(ProgramSoundChoice(), sources), nullptr) << "no device: no sound";
  g_bCaptureDevicePresent = bSavedDevice;
}

TEST_F(RecordingSoundTest, CaptureDeviceWritesIntoTheFileAndLeavesThePauseOut) {
  const GUID guid = {0x1234, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  ASSERT_FALSE(g_DirectSoundCapture.CreateDevice(guid));
  for (int nRecording = 0; nRecording < 2; ++nRecording) {
    SCOPED_TRACE(nRecording);
    OpenFile(g_DeviceRecordingAudio, "rec" + std::to_string(nRecording) + ".avi");
    const std::uint64_t nBase = ds.get_Produced();
    g_DeviceRecordingAudio.Start([this] { return ds.get_DeviceMicros(); });
    EXPECT_EQ(std::memcmp(&ds.createdWith.back(), &guid, sizeof guid), 0) << "the chosen device";
    ds.Produce(960, false);
    g_DirectSoundCapture.ReadBlock();
    g_Paused = 1;
    g_DirectSoundCapture.ObservePause();
    ds.Produce(1440, false);
    g_DirectSoundCapture.ReadBlock();
    g_Paused = 0;
    g_DirectSoundCapture.ObservePause();
    ds.Produce(480, false);
    g_DeviceRecordingAudio.Stop();
    EXPECT_EQ(ds.nLiveObjects.load(), 0) << "the device is released at the end";
    EXPECT_EQ(g_Recorder.Close(), kOk);

    std::vector<std::uint8_t> want = Pattern(nBase, 960);
    const auto after = Pattern(nBase + 2400, 480);
    want.insert(want.end(), after.begin(), after.end());
    EXPECT_EQ(SoundInFile(), want);
  }
}

TEST_F(RecordingSoundTest, LoopbackHandsTheRecorderAPlainFormatAndWritesItsBlocks) {
  g_bUseLoopback = 1;
  wasapi.pStop = &g_LoopbackCapture.m_bStop;
  wasapi.nStopAtCycle = 1000;
  wasapi.cycles = {{{5}, {5}}, {{10}}};
  const WaveFormatBlock* pFormat = g_LoopbackRecordingAudio.PrepareFormat();
  ASSERT_NE(pFormat, nullptr);
  EXPECT_EQ(pFormat->get()->wFormatTag, 3) << "the extensible float format, as its plain tag";
  EXPECT_EQ(pFormat->get()->nChannels, 2);
  EXPECT_EQ(pFormat->get()->nBlockAlign, 8);
  EXPECT_EQ(pFormat->get()->cbSize, 0);
  EXPECT_EQ(pFormat->get_Size(), 18u);

  OpenFile(g_LoopbackRecordingAudio, "loopback.avi");
  g_LoopbackRecordingAudio.Start(SteadyClock());
  for (int i = 0; i < 4000 && wasapi.nCyclesBegun.load() < 3; ++i) ::Sleep(5);
  ASSERT_GE(wasapi.nCyclesBegun.load(), 3) << "the reader never came round";
  g_LoopbackRecordingAudio.Stop();
  EXPECT_FALSE(g_LoopbackCapture.IsReaderRunning()) << "Stop returns once no more writes can come";
  EXPECT_EQ(g_Recorder.Close(), kOk);
  std::vector<std::uint8_t> want = wasapi.PacketBytes(0, 0);
  for (const auto& more : {wasapi.PacketBytes(0, 1), wasapi.PacketBytes(1, 0)}) want.insert(want.end(), more.begin(), more.end());
  EXPECT_EQ(SoundInFile(), want);
  EXPECT_EQ(wasapi.nLiveObjects.load(), 0);
}

TEST_F(RecordingSoundTest, LoopbackWithoutEndpointMeansNoSoundSource) {
  wasapi.hrEndpoint = E_NOTFOUND;
  EXPECT_EQ(g_LoopbackRecordingAudio.PrepareFormat(), nullptr);
  wasapi.hrEndpoint = S_OK;
  wasapi.mixFormat = test::MakeMixFormat(WAVE_FORMAT_EXTENSIBLE, 2, 48000, 32);
  wasapi.mixFormat[16] = 0;  // cbSize 0: an extensible format whose sub-format is not there to read
  EXPECT_EQ(g_LoopbackRecordingAudio.PrepareFormat(), nullptr);
  EXPECT_EQ(wasapi.nLiveObjects.load(), 0);
}

TEST_F(RecordingSoundTest, LoopbackOfAnotherSubFormatIsRecordedUnderItsWholeFormat) {
  g_bUseLoopback = 1;
  wasapi.pStop = &g_LoopbackCapture.m_bStop;
  wasapi.nStopAtCycle = 1000;
  wasapi.cycles = {{{5}, {5}}, {{10}}};
  wasapi.mixFormat[sizeof(WAVEFORMATEX) + 6] = 0x77;  // a sub-format no plain tag names
  ASSERT_EQ(wasapi.mixFormat.size(), 40u);
  const WaveFormatBlock* pFormat = g_LoopbackRecordingAudio.PrepareFormat();
  ASSERT_NE(pFormat, nullptr) << "the sound is recorded, not left out";
  ASSERT_EQ(pFormat->get_Size(), 40u);
  EXPECT_EQ(std::memcmp(pFormat->get(), wasapi.mixFormat.data(), 40), 0) << "the mix format as the device gave it";

  OpenFile(g_LoopbackRecordingAudio, "other.avi");
  g_LoopbackRecordingAudio.Start(SteadyClock());
  for (int i = 0; i < 4000 && wasapi.nCyclesBegun.load() < 3; ++i) ::Sleep(5);
  ASSERT_GE(wasapi.nCyclesBegun.load(), 3) << "the reader never came round";
  g_LoopbackRecordingAudio.Stop();
  EXPECT_EQ(g_Recorder.Close(), kOk);
  test::CAviReader reader;
  ASSERT_TRUE(reader.Load(strFile)) << reader.get_Error();
  EXPECT_EQ(reader.get_AudioFormatBytes(), wasapi.mixFormat) << "strf: tag 0xFFFE, cbSize 22, the sub-format";
  EXPECT_EQ(reader.get_AudioHeader().dwScale, 8u);
  std::vector<std::uint8_t> want = wasapi.PacketBytes(0, 0);
  for (const auto& more : {wasapi.PacketBytes(0, 1), wasapi.PacketBytes(1, 0)})
    want.insert(want.end(), more.begin(), more.end());
  EXPECT_EQ(SoundInFile(), want);
  EXPECT_EQ(wasapi.nLiveObjects.load(), 0);
}

}  // namespace
}  // namespace vantor
