// The recorder with the real Xvid (Debian's library natively, the bench's bridge under
// Wine) and with a stand-in whose answers each test picks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "RecorderTestSupport.h"
#include "cli/TestPattern.h"
#include "media/AviRecorder.h"
#include "platform/Text.h"

namespace vantor::test {
namespace {

const WaveFormatEx kPcm8Mono = {1, 1, 48000, 48000, 1, 8, 0};

std::vector<std::uint8_t> Pattern(std::int32_t nWidth, std::int32_t nHeight, std::uint32_t nFrame) {
  std::vector<std::uint8_t> bits(DibRowBytes(nWidth) * static_cast<std::size_t>(nHeight));
  DrawTestPattern(bits.data(), nWidth, nHeight, DibRowBytes(nWidth), nFrame);
  return bits;
}

std::vector<std::uint8_t> Filled(const BitmapInfoHeader& h, std::uint8_t v) {
  return std::vector<std::uint8_t>(h.biSizeImage, v);
}

// A recorder set up to the point of Open, with the stand-in encoder.
struct FakeRecording {
  CTempDir dir;
  CFakeXvid fake;
  CAviRecorder rec;
  BitmapInfoHeader header = MakeFrameHeader(64, 48);
  std::string strFile = dir.File("fake.avi");

  explicit FakeRecording(const WaveFormatEx* pAudio = &kPcm8Mono, double dFps = 30) {
    rec.SetBinding(fake.MakeBinding());
    rec.Reset();
    rec.SetAudioFormat(pAudio);
    rec.SetVideoFormat(&header);
    rec.CreateEncoder(header.biWidth, header.biHeight, dFps);
  }
};

TEST(recorder_AviRecorder, RepeatCountTwoWritesTwoIdenticalChunksThatDecodeAlone) {
  CTempDir dir;
  CAviRecorder rec;
  const BitmapInfoHeader header = MakeFrameHeader(160, 120);
  const std::string strFile = dir.File("repeat.avi");
  rec.Reset();
  rec.SetAudioFormat(&kPcm8Mono);
  rec.SetVideoFormat(&header);
  ASSERT_EQ(rec.CreateEncoder(160, 120, 30), kOk) << rec.get_ErrorMessage();
  ASSERT_EQ(rec.Open(strFile), kOk) << rec.get_ErrorMessage();
  const auto frame0 = Pattern(160, 120, 0);
  const auto frame1 = Pattern(160, 120, 1);
  EXPECT_EQ(rec.EncodeFrame(frame0.data(), static_cast<std::int32_t>(frame0.size()), 1), kOk);
  EXPECT_EQ(rec.EncodeFrame(frame1.data(), static_cast<std::int32_t>(frame1.size()), 2), kOk);
  EXPECT_EQ(rec.get_FramesWritten(), 3u);
  ASSERT_EQ(rec.Close(), kOk);

  CAviReader avi;
  ASSERT_TRUE(avi.Load(strFile)) << avi.get_Error();
  const auto chunks = avi.get_Chunks("00dc");
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_GT(chunks[1].nSize, 0u);
  EXPECT_EQ(avi.get_Data(chunks[1]), avi.get_Data(chunks[2]));
  EXPECT_EQ(avi.get_VideoHeader().dwLength, 3u);
  // Each copy of a repeated frame is a whole picture, so that decoding it twice shows
  // it twice rather than applying a change twice.
  const auto index = avi.get_Index("00dc");
  ASSERT_EQ(index.size(), 3u);
  EXPECT_EQ(index[1].dwFlags, kAVIIndexKeyFrame);
  EXPECT_EQ(index[2].dwFlags, kAVIIndexKeyFrame);
}

TEST(recorder_AviRecorder, PassesTheRecordsXvidIsDocumentedToTake) {
  FakeRecording r;
  const xvid::EncCreate create = r.fake.get_Create();
  EXPECT_EQ(create.version, 0x00010302);
  EXPECT_EQ(create.profile, 8);
  EXPECT_EQ(create.width, 64);
  EXPECT_EQ(create.height, 48);
  EXPECT_EQ(create.fincr, 1);
  EXPECT_EQ(create.fbase, 3);
  EXPECT_EQ(create.num_plugins, 1);
  EXPECT_EQ(create.max_bframes, 0);
  EXPECT_EQ(create.num_threads, 0);
  EXPECT_EQ(create.max_key_interval, 0);
  EXPECT_EQ(create.global, 0);
  const xvid::PluginSingle single = r.fake.get_PluginSingle();
  EXPECT_EQ(single.version, 0x00010302);
  EXPECT_EQ(single.bitrate, 10000000);
  EXPECT_EQ(single.reaction_delay_factor, 16);
  EXPECT_EQ(single.averaging_period, 100);
  EXPECT_EQ(single.buffer, 1);
  EXPECT_EQ(r.fake.get_GlobalInit().version, 0x00010302);
  EXPECT_EQ(r.fake.get_Globals(), 1);

  ASSERT_EQ(r.rec.Open(r.strFile), kOk);
  const auto bits = Filled(r.header, 9);
  r.rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
  r.rec.Close();
  const auto encodes = r.fake.get_Encodes();
  ASSERT_EQ(encodes.size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(encodes[0].nCsp), 0x80000200u);
  EXPECT_EQ(encodes[0].nStride, 192);
  EXPECT_EQ(encodes[0].nQuant, 6);
  EXPECT_EQ(encodes[0].nType, 0);
  EXPECT_EQ(r.fake.get_Destroys(), 1);
  EXPECT_EQ(r.fake.get_Unbinds(), r.fake.get_Binds());
}

// Rows of widths that are not a multiple of 4 bytes carry padding; the encoder must
// step over it.
TEST(recorder_AviRecorder, StrideIsTheDwordAlignedRow) {
  struct Case { std::int32_t nWidth; int nStride; };
  for (const Case c : {Case{1, 4}, Case{2, 8}, Case{4, 12}, Case{642, 1928}, Case{1279, 3840}}) {
    CTempDir dir;
    CFakeXvid fake;
    CAviRecorder rec;
    rec.SetBinding(fake.MakeBinding());
    const BitmapInfoHeader header = MakeFrameHeader(c.nWidth, 2);
    rec.SetVideoFormat(&header);
    ASSERT_EQ(rec.CreateEncoder(c.nWidth, 2, 25), kOk);
    ASSERT_EQ(rec.Open(dir.File("s.avi")), kOk);
    const auto bits = Filled(header, 1);
    rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
    rec.Close();
    ASSERT_EQ(fake.get_Encodes().size(), 1u);
    EXPECT_EQ(fake.get_Encodes()[0].nStride, c.nStride) << "width " << c.nWidth;
  }
}

TEST(recorder_AviRecorder, WritesBeforeOpenAndAfterCloseWriteNothing) {
  FakeRecording r;
  const auto bits = Filled(r.header, 3);
  const std::uint8_t sound[100] = {};
  EXPECT_EQ(r.rec.WriteAudio(sound, sizeof sound), kOk);
  EXPECT_EQ(r.rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1), kOk);
  ASSERT_EQ(r.rec.Open(r.strFile), kOk);
  ASSERT_EQ(r.rec.Close(), kOk);
  std::vector<std::uint8_t> closed;
  ASSERT_TRUE(ReadWholeFile(r.strFile, &closed));

  EXPECT_EQ(r.rec.WriteAudio(sound, sizeof sound), kOk);
  EXPECT_EQ(r.rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1), kOk);
  EXPECT_EQ(r.rec.Close(), kOk);
  std::vector<std::uint8_t> after;
  ASSERT_TRUE(ReadWholeFile(r.strFile, &after));
  EXPECT_EQ(after, closed);

  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.strFile)) << avi.get_Error();
  EXPECT_TRUE(avi.get_Chunks().empty());
  EXPECT_EQ(avi.get_VideoHeader().dwLength, 1u);
  EXPECT_EQ(avi.get_AudioHeader().dwLength, 1u);
  EXPECT_TRUE(r.fake.get_Encodes().empty());
}

TEST(recorder_AviRecorder, FrameRateNotAboveZeroCreatesNoFile) {
  for (const double dFps : {0.0, -5.0}) {
    CTempDir dir;
    CFakeXvid fake;
    CAviRecorder rec;
    rec.SetBinding(fake.MakeBinding());
    const BitmapInfoHeader header = MakeFrameHeader(64, 48);
    rec.Reset();
    rec.SetAudioFormat(&kPcm8Mono);
    rec.SetVideoFormat(&header);
    EXPECT_EQ(rec.CreateEncoder(64, 48, dFps), kInvalidArg);
    const std::string strFile = dir.File("none.avi");
    EXPECT_EQ(static_cast<std::uint32_t>(rec.Open(strFile)), 0x80040007u);
    EXPECT_FALSE(std::filesystem::exists(PathOf(strFile)));
    const auto bits = Filled(header, 1);
    const std::uint8_t sound[4] = {};
    EXPECT_EQ(rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1), kOk);
    EXPECT_EQ(rec.WriteAudio(sound, 4), kOk);
    EXPECT_EQ(rec.Close(), kOk);
    EXPECT_FALSE(std::filesystem::exists(PathOf(strFile)));
    EXPECT_EQ(fake.get_Creates(), 0);
    EXPECT_TRUE(fake.get_Encodes().empty());
  }
}

struct AudioCase {
  const char* szName;
  std::uint16_t nTag;
  std::uint16_t cbSize;
  std::uint8_t nSubFormat;  // first byte of the sub-format GUID; 0xEE: not the base GUID
  std::uint16_t nStored;
  std::uint32_t nStoredBytes = 18;  // 40: the whole extensible format, cbSize 22
};

TEST(recorder_AviRecorder, AudioFormatsAreStoredUnderTheirPlainTag) {
  const AudioCase cases[] = {
      {"extensible PCM", 0xFFFE, 22, 1, 1},
      {"extensible float", 0xFFFE, 22, 3, 3},
      {"extensible other sub-format", 0xFFFE, 22, 0xEE, 0xFFFE, 40},
      {"extensible without its extension", 0xFFFE, 0, 3, 0xFFFE},
      {"plain PCM", 1, 0, 0, 1},
      {"plain float", 3, 0, 0, 3},
      {"ADPCM", 2, 0, 0, 2},
  };
  for (const AudioCase& c : cases) {
    WaveFormatExtensible wfx{};
    wfx.Format = {c.nTag, 2, 48000, 384000, 8, 32, c.cbSize};
    wfx.wValidBitsPerSample = 32;
    wfx.dwChannelMask = 3;
    const std::uint8_t guid[16] = {c.nSubFormat, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::memcpy(wfx.SubFormat, guid, 16);
    if (c.nSubFormat == 0xEE) wfx.SubFormat[0] = 1, wfx.SubFormat[15] = 0x72;

    FakeRecording r(&wfx.Format);
    ASSERT_EQ(r.rec.Open(r.strFile), kOk) << c.szName;
    const std::uint8_t sound[64] = {};
    r.rec.WriteAudio(sound, sizeof sound);
    ASSERT_EQ(r.rec.Close(), kOk);
    CAviReader avi;
    ASSERT_TRUE(avi.Load(r.strFile)) << avi.get_Error();
    EXPECT_EQ(avi.get_AudioFormat().wFormatTag, c.nStored) << c.szName;
    EXPECT_EQ(avi.get_AudioFormat().cbSize, c.nStoredBytes - 18) << c.szName;
    EXPECT_EQ(avi.get_AudioFormatSize(), c.nStoredBytes) << c.szName;
    if (c.nStoredBytes == sizeof wfx) {
      // The extension as it was given: valid bits, speaker mask and the sub-format.
      ASSERT_EQ(avi.get_AudioFormatBytes().size(), sizeof wfx) << c.szName;
      EXPECT_EQ(std::memcmp(avi.get_AudioFormatBytes().data() + 18, reinterpret_cast<const std::uint8_t*>(&wfx) + 18,
                            sizeof wfx - 18),
                0)
          << c.szName;
    }
    EXPECT_EQ(avi.get_AudioFormat().nChannels, 2) << c.szName;
    EXPECT_EQ(avi.get_AudioFormat().nBlockAlign, 8) << c.szName;
    EXPECT_EQ(avi.get_AudioHeader().fccHandler, c.nStored) << c.szName;
    EXPECT_EQ(avi.get_AudioHeader().dwScale, 8u) << c.szName;
    EXPECT_EQ(avi.get_AudioHeader().dwRate, 384000u) << c.szName;
    EXPECT_EQ(avi.get_AudioHeader().dwLength, 8u) << c.szName;
  }
}

TEST(recorder_AviRecorder, MissingLibraryStartsNothingAndSaysSo) {
  CTempDir dir;
  CAviRecorder rec;
  rec.SetBinding(std::make_unique<CXvidLibrary>("vantor-no-such-xvidcore.dll"));
  const BitmapInfoHeader header = MakeFrameHeader(64, 48);
  rec.SetVideoFormat(&header);
  EXPECT_EQ(rec.CreateEncoder(64, 48, 30), kXvidLibraryMissing);
  const std::string strMessage = rec.get_ErrorMessage();
  EXPECT_NE(strMessage.find("Xvid"), std::string::npos) << strMessage;
  EXPECT_NE(strMessage.find("not installed"), std::string::npos) << strMessage;
  const std::string strFile = dir.File("x.avi");
  EXPECT_EQ(rec.Open(strFile), kRecorderNoEncoder);
  EXPECT_FALSE(std::filesystem::exists(PathOf(strFile)));
  const auto bits = Filled(header, 1);
  EXPECT_EQ(rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1), kOk);
  EXPECT_EQ(rec.Close(), kOk);
  EXPECT_FALSE(rec.get_ErrorMessage().empty());
}

TEST(recorder_AviRecorder, LibraryWithoutTheEntryPointsIsNotUsed) {
#if defined(_WIN32)
  const char* szOther = "kernel32.dll";
#else
  const char* szOther = "libm.so.6";
#endif
  CTempDir dir;
  CAviRecorder rec;
  rec.SetBinding(std::make_unique<CXvidLibrary>(szOther));
  const BitmapInfoHeader header = MakeFrameHeader(64, 48);
  rec.SetVideoFormat(&header);
  EXPECT_EQ(rec.CreateEncoder(64, 48, 30), kXvidEntryPointMissing);
  EXPECT_NE(rec.get_ErrorMessage().find("xvid_global"), std::string::npos) << rec.get_ErrorMessage();
  EXPECT_EQ(rec.Open(dir.File("x.avi")), kRecorderNoEncoder);
  EXPECT_FALSE(std::filesystem::exists(PathOf(dir.File("x.avi"))));
}

TEST(recorder_AviRecorder, EncoderTheLibraryRefusesToCreateStartsNothing) {
  CTempDir dir;
  CFakeXvid fake;
  fake.nCreateResult = -1;
  CAviRecorder rec;
  rec.SetBinding(fake.MakeBinding());
  const BitmapInfoHeader header = MakeFrameHeader(64, 48);
  rec.SetVideoFormat(&header);
  EXPECT_EQ(rec.CreateEncoder(64, 48, 30), kFail);
  EXPECT_FALSE(rec.get_ErrorMessage().empty());
  EXPECT_EQ(rec.Open(dir.File("x.avi")), kRecorderNoEncoder);
  EXPECT_FALSE(std::filesystem::exists(PathOf(dir.File("x.avi"))));
  // The library is let go at once, not kept until some later Close.
  EXPECT_EQ(fake.get_Unbinds(), fake.get_Binds());
  EXPECT_EQ(fake.get_Destroys(), 0);
}

TEST(recorder_AviRecorder, FailedEncodeKeepsTheFramesPlaceAndRestartsWithAKeyFrame) {
  FakeRecording r;
  r.fake.fnResult = [](int n) { return n == 1 ? -1 : 8; };
  ASSERT_EQ(r.rec.Open(r.strFile), kOk);
  for (std::uint8_t v = 1; v <= 4; ++v) {
    const auto bits = Filled(r.header, v);
    const Result nResult = r.rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
    EXPECT_EQ(nResult, v == 2 ? kFail : kOk);
  }
  EXPECT_EQ(r.rec.get_EncodeFailures(), 1u);
  ASSERT_EQ(r.rec.Close(), kOk);

  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.strFile)) << avi.get_Error();
  const auto chunks = avi.get_Chunks("00dc");
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].nSize, 8u);
  EXPECT_EQ(chunks[1].nSize, 0u);  // the failed frame: an empty chunk repeats the previous picture
  EXPECT_EQ(chunks[2].nSize, 8u);
  EXPECT_EQ(avi.get_VideoHeader().dwLength, 4u);
  const auto index = avi.get_Index("00dc");
  ASSERT_EQ(index.size(), 4u);
  EXPECT_EQ(index[1].dwFlags, 0u);
  EXPECT_EQ(index[1].dwChunkLength, 0u);
  const auto encodes = r.fake.get_Encodes();
  ASSERT_EQ(encodes.size(), 4u);
  EXPECT_EQ(encodes[1].nType, 0);
  EXPECT_EQ(encodes[2].nType, 1);  // after the failure: a whole picture
  EXPECT_EQ(encodes[3].nType, 0);
}

TEST(recorder_AviRecorder, KeyFrameMarksFollowTheEncodersReport) {
  FakeRecording r;
  r.fake.fnKey = [](int n) { return n % 3 == 0; };
  ASSERT_EQ(r.rec.Open(r.strFile), kOk);
  const std::uint8_t sound[32] = {};
  for (std::uint8_t v = 0; v < 7; ++v) {
    const auto bits = Filled(r.header, v);
    r.rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
    r.rec.WriteAudio(sound, sizeof sound);
  }
  ASSERT_EQ(r.rec.Close(), kOk);
  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.strFile)) << avi.get_Error();
  const auto video = avi.get_Index("00dc");
  ASSERT_EQ(video.size(), 7u);
  for (std::size_t i = 0; i < video.size(); ++i)
    EXPECT_EQ(video[i].dwFlags, i % 3 == 0 ? kAVIIndexKeyFrame : 0u) << "frame " << i;
  for (const AVILegacyIndexEntry& e : avi.get_Index("01wb")) EXPECT_EQ(e.dwFlags, kAVIIndexKeyFrame);
}

TEST(recorder_AviRecorder, FrameShorterThanItsFormatIsNotRead) {
  FakeRecording r;
  ASSERT_EQ(r.rec.Open(r.strFile), kOk);
  const std::vector<std::uint8_t> shortFrame(r.header.biSizeImage / 2, 5);
  EXPECT_EQ(r.rec.EncodeFrame(shortFrame.data(), static_cast<std::int32_t>(shortFrame.size()), 1), kFail);
  EXPECT_EQ(r.rec.EncodeFrame(nullptr, 0, 1), kFail);
  ASSERT_EQ(r.rec.Close(), kOk);
  EXPECT_TRUE(r.fake.get_Encodes().empty());
  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.strFile));
  EXPECT_EQ(avi.get_Chunks("00dc").size(), 2u);
}

TEST(recorder_AviRecorder, FileNamesOutsideTheAnsiCodePageRecord) {
  CTempDir dir;
  CFakeXvid fake;
  CAviRecorder rec;
  rec.SetBinding(fake.MakeBinding());
  const BitmapInfoHeader header = MakeFrameHeader(64, 48);
  rec.SetAudioFormat(&kPcm8Mono);
  rec.SetVideoFormat(&header);
  ASSERT_EQ(rec.CreateEncoder(64, 48, 30), kOk);
  // The folder's name is plain ASCII; the file's is Chinese, Cyrillic and an emoji.
  const std::wstring strWide = dir.get_Path().wstring() + L"/\u5f55\u50cf-\u0436-\U0001F3A5.avi";
  const std::filesystem::path path = dir.get_Path() / PathOf("\xE5\xBD\x95\xE5\x83\x8F-\xD0\xB6-\xF0\x9F\x8E\xA5.avi");
  ASSERT_EQ(rec.Open(Utf8FromWide(strWide)), kOk) << rec.get_ErrorMessage();
  const auto bits = Filled(header, 1);
  rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
  ASSERT_EQ(rec.Close(), kOk);
  ASSERT_TRUE(std::filesystem::exists(path));
  CAviReader avi;
  ASSERT_TRUE(avi.Load(Utf8(path))) << avi.get_Error();
  EXPECT_EQ(avi.get_Chunks("00dc").size(), 1u);
}

// A recording of 10.9 seconds: the sound is the clock, and the video must last as long
// within a frame, for every block size a sound card can deliver.
TEST(recorder_AviRecorder, VideoLastsAsLongAsTheSound) {
  struct Case { const char* szName; WaveFormatEx wfx; };
  const Case cases[] = {
      {"capture device, 8-bit mono", {1, 1, 48000, 48000, 1, 8, 0}},
      {"16-bit stereo 44.1 kHz", {1, 2, 44100, 176400, 4, 16, 0}},
      {"loopback float stereo", {3, 2, 48000, 384000, 8, 32, 0}},
      {"loopback float 5.1", {3, 6, 48000, 1152000, 24, 32, 0}},
      {"16-bit mono 22.05 kHz", {1, 1, 22050, 44100, 2, 16, 0}},
  };
  for (const Case& c : cases) {
    FakeRecording r(&c.wfx, 30);
    ASSERT_EQ(r.rec.Open(r.strFile), kOk);
    // 30 frames per second asked for, 31.2 delivered: the grabs were quicker than the
    // clock said, as whole-millisecond sleeps make them.
    const int nFrames = 340;
    const std::uint64_t nBlocks = c.wfx.nSamplesPerSec * 109ull / 10;
    std::vector<std::uint8_t> sound(static_cast<std::size_t>(nBlocks * c.wfx.nBlockAlign / 10));
    const auto bits = Filled(r.header, 1);
    for (int i = 0; i < nFrames; ++i) {
      r.rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
      if (i % 34 == 0) r.rec.WriteAudio(sound.data(), static_cast<std::uint32_t>(sound.size()));
    }
    ASSERT_EQ(r.rec.Close(), kOk);
    CAviReader avi;
    ASSERT_TRUE(avi.Load(r.strFile));
    const AVIStreamHeader& v = avi.get_VideoHeader();
    const AVIStreamHeader& a = avi.get_AudioHeader();
    const double dAudio = static_cast<double>(a.dwLength) * a.dwScale / a.dwRate;
    const double dVideo = static_cast<double>(v.dwLength) * v.dwScale / v.dwRate;
    EXPECT_NEAR(dAudio, 10.9, 1e-9) << c.szName;
    EXPECT_NEAR(dVideo, dAudio, 1.0 / 31.2) << c.szName << ": rate " << v.dwRate << " / " << v.dwScale;
    // The opening rate is still the one the header announced at open.
    EXPECT_EQ(avi.get_MainHeader().dwMicroSecPerFrame, 33333u) << c.szName;
  }
}

TEST(recorder_AviRecorder, FileWithoutSoundKeepsItsFrameRate) {
  FakeRecording r(&kPcm8Mono, 25);
  ASSERT_EQ(r.rec.Open(r.strFile), kOk);
  const auto bits = Filled(r.header, 1);
  for (int i = 0; i < 10; ++i) r.rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
  ASSERT_EQ(r.rec.Close(), kOk);
  CAviReader avi;
  ASSERT_TRUE(avi.Load(r.strFile));
  EXPECT_EQ(avi.get_VideoHeader().dwRate, 25u);
  EXPECT_EQ(avi.get_VideoHeader().dwScale, 1u);
}

TEST(recorder_AviRecorder, FractionalFrameRatesKeepTheirFraction) {
  for (const double dFps : {0.5, 29.97}) {
    FakeRecording r(&kPcm8Mono, dFps);
    ASSERT_EQ(r.rec.Open(r.strFile), kOk);
    ASSERT_EQ(r.rec.Close(), kOk);
    CAviReader avi;
    ASSERT_TRUE(avi.Load(r.strFile));
    const AVIStreamHeader& v = avi.get_VideoHeader();
    ASSERT_NE(v.dwRate, 0u);
    EXPECT_NEAR(static_cast<double>(v.dwRate) / v.dwScale, dFps, 1e-9);
  }
}

TEST(recorder_AviRecorder, FittedRateStaysWithinWhatReadersHold) {
  struct Case { std::uint32_t nFrames, nLength, nRate, nScale; };
  const Case cases[] = {
      {327, 523200, 48000, 1},            // exact and small
      {4294967295u, 4294967291u, 4294967279u, 65521u},
      {1000003, 2147483647u, 8000, 1},
      {1, 4294967295u, 1, 65535},          // a frame of 8,900 years
      {4294967295u, 1, 4294967295u, 1},    // four billion frames in a second
  };
  for (const Case& c : cases) {
    std::uint32_t nRate = 0, nScale = 0;
    ASSERT_TRUE(FitFrameRate(c.nFrames, c.nLength, c.nRate, c.nScale, &nRate, &nScale));
    EXPECT_GE(nRate, 1u);
    EXPECT_GE(nScale, 1u);
    EXPECT_LE(nRate, 0x7FFFFFFFu);
    EXPECT_LE(nScale, 0x7FFFFFFFu);
    const long double dAudio = static_cast<long double>(c.nLength) * c.nScale / c.nRate;
    const long double dVideo = static_cast<long double>(c.nFrames) * nScale / nRate;
    const long double dFrame = dAudio / c.nFrames;
    // Within a frame wherever the ratio can be held; at the extremes the nearest the
    // 31-bit fields can say.
    if (dFrame < 1e9L && dFrame > 1e-9L) {
      EXPECT_LE(std::fabs(static_cast<double>(dVideo - dAudio)), static_cast<double>(dFrame));
    }
  }
  std::uint32_t nRate = 7, nScale = 9;
  EXPECT_FALSE(FitFrameRate(0, 10, 10, 1, &nRate, &nScale));
  EXPECT_FALSE(FitFrameRate(10, 0, 10, 1, &nRate, &nScale));
  EXPECT_EQ(nRate, 7u);
  EXPECT_EQ(nScale, 9u);
}

}  // namespace
}  // namespace vantor::test
