// The whole pipeline with the real Xvid, checked by ffmpeg and ffprobe: the test
// pattern goes through the frame buffer, the encoder thread, the recorder and the
// writer while a second thread writes sound into the same file. Native only (the
// readers are native programs); it also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "RecorderTestSupport.h"
#include "cli/TestPattern.h"
#include "media/AviRecorder.h"
#include "recording/EncoderThread.h"

namespace vantor::test {
namespace {

#ifdef VANTOR_FFPROBE
constexpr const char* kFfprobe = VANTOR_FFPROBE;
#else
constexpr const char* kFfprobe = nullptr;
#endif
#ifdef VANTOR_FFMPEG
constexpr const char* kFfmpeg = VANTOR_FFMPEG;
#else
constexpr const char* kFfmpeg = nullptr;
#endif

std::string RunCommand(const std::string& strCommand, int* pExit = nullptr) {
  std::string strOut;
  FILE* p = ::popen(strCommand.c_str(), "r");
  if (!p) return strOut;
  char szBuf[1 << 16];
  for (std::size_t n; (n = std::fread(szBuf, 1, sizeof szBuf, p)) > 0;) strOut.append(szBuf, n);
  const int nExit = ::pclose(p);
  if (pExit) *pExit = nExit;
  return strOut;
}

std::vector<std::string> Lines(const std::string& str) {
  std::vector<std::string> lines;
  std::istringstream in(str);
  for (std::string strLine; std::getline(in, strLine);)
    if (!strLine.empty()) lines.push_back(strLine);
  return lines;
}

struct PipelineCase {
  const char* szName;
  std::int32_t nWidth, nHeight;
  int nFrames;
  WaveFormatEx wfx;
  bool bSound;
};

class recorder_Pipeline : public testing::TestWithParam<PipelineCase> {};

TEST_P(recorder_Pipeline, FileDecodesToThePatternWithAgreeingDurations) {
  if (!kFfprobe || !kFfmpeg) GTEST_SKIP() << "ffmpeg or ffprobe not found at configure time";
  const PipelineCase& c = GetParam();
  CTempDir dir;
  const std::string strFile = dir.File("pipeline.avi");
  const double dFps = 30;

  CAviRecorder rec;
  CFrameBuffer buffer;
  CLockedLong pending(0);
  std::int32_t nFrameBytes = 0;
  std::atomic<std::int32_t> recording{1};
  CEncoderThread thread(rec, buffer, pending, nFrameBytes, recording);
  const BitmapInfoHeader header = MakeFrameHeader(c.nWidth, c.nHeight);
  const WaveFormatBlock format = c.wfx;
  ASSERT_EQ(thread.Begin(header, &format, dFps, strFile), kOk) << thread.get_ErrorMessage();

  // Sound from its own thread, as a sound card delivers it: blocks of 10 ms up to the
  // time of the frames handed over so far, the rest once the last frame is in.
  std::atomic<int> nHandedOver{0};
  std::atomic<bool> bVideoDone{false};
  std::thread audio;
  if (c.bSound) {
    audio = std::thread([&] {
      const std::uint32_t nBlock = c.wfx.nSamplesPerSec / 100 * c.wfx.nBlockAlign;
      std::vector<std::uint8_t> block(nBlock, 0);
      std::uint64_t nWritten = 0;
      for (;;) {
        const bool bLast = bVideoDone.load();
        const std::uint64_t nDue = static_cast<std::uint64_t>(nHandedOver.load()) * c.wfx.nAvgBytesPerSec / 30;
        while (nWritten + nBlock <= nDue) {
          rec.WriteAudio(block.data(), nBlock);
          nWritten += nBlock;
        }
        if (bLast) {
          if (nDue > nWritten) rec.WriteAudio(block.data(), static_cast<std::uint32_t>(nDue - nWritten));
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  const std::uint32_t nStride = DibRowBytes(c.nWidth);
  for (int k = 0; k < c.nFrames; ++k) {
    DrawTestPattern(buffer.get_WriteSlot(), c.nWidth, c.nHeight, nStride, static_cast<std::uint32_t>(k));
    // Every frame encoded once: the next is handed over when the encoder is free.
    thread.WaitUntilEncoded();
    buffer.Publish(pending);
    ++nHandedOver;
  }
  thread.WaitUntilEncoded();
  bVideoDone = true;
  if (audio.joinable()) audio.join();
  thread.Stop(true);
  ASSERT_EQ(thread.get_CloseResult(), kOk);

  // Both streams, as an independent reader sees them.
  const std::string strQuiet = " -v error ";
  const auto streams = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                                 "-show_entries stream=codec_type,codec_name -of csv=p=0 '" + strFile + "'"));
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0], "mpeg4,video");
  EXPECT_EQ(streams[1].substr(0, 4), "pcm_") << streams[1];

  // Every frame decodes, in order, to the picture that was fed.
  int nExit = -1;
  const std::string strRaw = RunCommand(std::string("'") + kFfmpeg + "'" + strQuiet + "-i '" + strFile +
                                 "' -map 0:v -f rawvideo -pix_fmt bgr24 -", &nExit);
  ASSERT_EQ(nExit, 0);
  const std::size_t nFrameSize = static_cast<std::size_t>(c.nWidth) * c.nHeight * 3;
  ASSERT_EQ(strRaw.size(), nFrameSize * c.nFrames);
  std::vector<std::uint8_t> dib(static_cast<std::size_t>(nStride) * c.nHeight);
  double dWorst = 1000;
  for (int k = 0; k < c.nFrames; ++k) {
    const auto* pDecoded = reinterpret_cast<const std::uint8_t*>(strRaw.data()) + nFrameSize * k;
    EXPECT_EQ(ReadTestPatternFrame(pDecoded, c.nWidth, c.nHeight, static_cast<std::uint32_t>(c.nWidth) * 3), k);
    DrawTestPattern(dib.data(), c.nWidth, c.nHeight, nStride, static_cast<std::uint32_t>(k));
    double dSquares = 0;
    for (int y = 0; y < c.nHeight; ++y) {
      const std::uint8_t* pFed = dib.data() + static_cast<std::size_t>(c.nHeight - 1 - y) * nStride;
      const std::uint8_t* pOut = pDecoded + static_cast<std::size_t>(y) * c.nWidth * 3;
      for (int x = 0; x < c.nWidth * 3; ++x) {
        const double d = static_cast<double>(pFed[x]) - pOut[x];
        dSquares += d * d;
      }
    }
    const double dMse = dSquares / static_cast<double>(nFrameSize);
    dWorst = std::min(dWorst, dMse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / dMse));
  }
  EXPECT_GT(dWorst, 30.0) << "worst frame PSNR " << dWorst << " dB";
  std::printf("[ %s: worst frame PSNR %.2f dB over %d frames ]\n", c.szName, dWorst, c.nFrames);

  // The video lasts as long as the sound, within a frame.
  const auto video = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                               "-select_streams v -show_entries stream=duration,nb_frames -of csv=p=0 '" + strFile + "'"));
  ASSERT_EQ(video.size(), 1u);
  const double dVideo = std::stod(video[0].substr(0, video[0].find(',')));
  EXPECT_NEAR(dVideo, c.nFrames / dFps, 1.0 / dFps);
  if (c.bSound) {
    const auto packets = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                                   "-select_streams a -show_entries packet=pts_time,duration_time -of csv=p=0 '" +
                                   strFile + "'"));
    ASSERT_FALSE(packets.empty());
    const std::string& strLast = packets.back();
    const double dAudio = std::stod(strLast.substr(0, strLast.find(','))) + std::stod(strLast.substr(strLast.find(',') + 1));
    EXPECT_NEAR(dVideo, dAudio, 1.0 / dFps) << "video " << dVideo << " s, sound " << dAudio << " s";
  }

  // Key frames: the index marks exactly the pictures the encoder coded whole.
  const auto flags = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                               "-select_streams v -show_entries packet=flags -of csv=p=0 '" + strFile + "'"));
  ASSERT_EQ(flags.size(), static_cast<std::size_t>(c.nFrames));
  std::size_t nKeys = 0;
  for (const std::string& f : flags) nKeys += f[0] == 'K';
  EXPECT_GE(nKeys, 1u);
  if (c.nFrames > 31) {
    EXPECT_LT(nKeys, flags.size());
  }
  const auto keyPictures = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                                     "-skip_frame nokey -select_streams v -show_entries frame=pict_type -of csv=p=0 '" +
                                     strFile + "'"));
  EXPECT_EQ(keyPictures.size(), nKeys);
  for (const std::string& t : keyPictures) EXPECT_EQ(t, "I");
  CAviReader avi;
  ASSERT_TRUE(avi.Load(strFile)) << avi.get_Error();
  std::size_t nIndexKeys = 0;
  for (const AVILegacyIndexEntry& e : avi.get_Index("00dc")) nIndexKeys += (e.dwFlags & kAVIIndexKeyFrame) != 0;
  EXPECT_EQ(nIndexKeys, nKeys);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, recorder_Pipeline,
    testing::Values(PipelineCase{"720p_pcm16_stereo", 1280, 720, 75, {1, 2, 48000, 192000, 4, 16, 0}, true},
                    PipelineCase{"odd_rows_float_stereo", 638, 360, 64, {3, 2, 48000, 384000, 8, 32, 0}, true},
                    PipelineCase{"capture_device_8bit", 640, 480, 40, {1, 1, 48000, 48000, 1, 8, 0}, true},
                    PipelineCase{"larger_than_default_buffer", 2600, 1700, 6, {1, 1, 48000, 48000, 1, 8, 0}, false}),
    [](const testing::TestParamInfo<PipelineCase>& info) { return std::string(info.param.szName); });

// A mix format whose sub-format is neither PCM nor float goes through the hand-off to
// the file whole: "strf" holds the 40-byte extensible format with its sub-format, and
// an independent reader takes the stream for sound and finds every chunk of it.
TEST(recorder_PipelineSound, ExtensibleFormatOfAnotherSubFormatIsStoredWholeAndReadAsSound) {
  if (!kFfprobe) GTEST_SKIP() << "ffprobe not found at configure time";
  CTempDir dir;
  const std::string strFile = dir.File("extensible.avi");
  const std::int32_t nWidth = 160, nHeight = 120;
  const int nFrames = 45;
  // {6B8A2F3C-1D4E-4C5F-9A7B-0E1D2C3B4A59}, a sub-format of the device's own.
  WaveFormatExtensible mix{};
  mix.Format = {kWaveFormatExtensible, 2, 48000, 384000, 8, 32, 22};
  mix.wValidBitsPerSample = 24;
  mix.dwChannelMask = 3;
  const std::uint8_t kSubFormat[16] = {0x3C, 0x2F, 0x8A, 0x6B, 0x4E, 0x1D, 0x5F, 0x4C,
                                       0x9A, 0x7B, 0x0E, 0x1D, 0x2C, 0x3B, 0x4A, 0x59};
  std::memcpy(mix.SubFormat, kSubFormat, sizeof kSubFormat);
  const WaveFormatBlock format = mix;

  CAviRecorder rec;
  CFrameBuffer buffer;
  CLockedLong pending(0);
  std::int32_t nFrameBytes = 0;
  std::atomic<std::int32_t> recording{1};
  CEncoderThread thread(rec, buffer, pending, nFrameBytes, recording);
  ASSERT_EQ(thread.Begin(MakeFrameHeader(nWidth, nHeight), &format, 30, strFile), kOk) << thread.get_ErrorMessage();
  // A frame's time of sound after each frame: 12,800 bytes of a pattern.
  const std::uint32_t nStride = DibRowBytes(nWidth);
  std::vector<std::uint8_t> sound(mix.Format.nAvgBytesPerSec / 30);
  std::uint64_t nSoundWritten = 0;
  for (int k = 0; k < nFrames; ++k) {
    DrawTestPattern(buffer.get_WriteSlot(), nWidth, nHeight, nStride, static_cast<std::uint32_t>(k));
    thread.WaitUntilEncoded();
    buffer.Publish(pending);
    for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<std::uint8_t>(nSoundWritten + i);
    rec.WriteAudio(sound.data(), static_cast<std::uint32_t>(sound.size()));
    nSoundWritten += sound.size();
  }
  thread.WaitUntilEncoded();
  thread.Stop(true);
  ASSERT_EQ(thread.get_CloseResult(), kOk);

  CAviReader avi;
  ASSERT_TRUE(avi.Load(strFile)) << avi.get_Error();
  ASSERT_EQ(avi.get_AudioFormatSize(), 40u);
  ASSERT_EQ(avi.get_AudioFormatBytes().size(), 40u);
  EXPECT_EQ(std::memcmp(avi.get_AudioFormatBytes().data(), &mix, sizeof mix), 0)
      << "tag 0xFFFE, cbSize 22, valid bits, speaker mask and sub-format as the device gave them";
  EXPECT_EQ(avi.get_AudioHeader().dwScale, 8u);
  EXPECT_EQ(avi.get_AudioHeader().dwRate, 384000u);
  const std::vector<AviChunkRef> chunks = avi.get_Chunks("01wb");
  ASSERT_FALSE(chunks.empty());
  std::uint64_t nSoundInFile = 0;
  for (const AviChunkRef& chunk : chunks) nSoundInFile += chunk.nSize;
  EXPECT_EQ(nSoundInFile, nSoundWritten);

  const std::string strProbe = std::string("'") + kFfprobe + "' -v error ";
  int nExit = -1;
  const auto streams =
      Lines(RunCommand(strProbe + "-show_entries stream=codec_type -of csv=p=0 '" + strFile + "'", &nExit));
  EXPECT_EQ(nExit, 0);
  EXPECT_EQ(streams, (std::vector<std::string>{"video", "audio"}));
  const auto audio = Lines(RunCommand(
      strProbe + "-select_streams a -show_entries stream=sample_rate,channels -of csv=p=0 '" + strFile + "'"));
  EXPECT_EQ(audio, std::vector<std::string>{"48000,2"});
  // ffprobe cuts long chunks into packets of its own size: every byte in order, each
  // packet where the bytes before it end (its time in sample frames).
  const auto packets = Lines(
      RunCommand(strProbe + "-select_streams a -show_entries packet=pts,size -of csv=p=0 '" + strFile + "'", &nExit));
  EXPECT_EQ(nExit, 0);
  ASSERT_GE(packets.size(), chunks.size());
  std::uint64_t nPacketBytes = 0;
  for (const std::string& strLine : packets) {
    long long nPts = -1;
    unsigned long long nSize = 0;
    ASSERT_EQ(std::sscanf(strLine.c_str(), "%lld,%llu", &nPts, &nSize), 2) << strLine;
    EXPECT_EQ(static_cast<std::uint64_t>(nPts), nPacketBytes / 8) << strLine;
    nPacketBytes += nSize;
  }
  EXPECT_EQ(nPacketBytes, nSoundWritten);
}

// The whole pipeline into small files (a few hundred KiB each): every file decodes on its
// own from its first picture, which is whole; the pattern's frame numbers run on from
// file to file without a gap; each file's video lasts as long as its own sound; and the
// files' sound is all the sound written.
TEST(recorder_PipelineFiles, EveryFileDecodesAloneAndTogetherTheyHoldEverything) {
  if (!kFfprobe || !kFfmpeg) GTEST_SKIP() << "ffmpeg or ffprobe not found at configure time";
  CTempDir dir;
  const std::int32_t nWidth = 640, nHeight = 360;
  const int nFrames = 240;
  const WaveFormatEx wfx = {1, 2, 48000, 192000, 4, 16, 0};
  CAviRecorder rec(nullptr, AVIWriterLimits{512 << 10, 3, 8, 8});
  CFrameBuffer buffer;
  CLockedLong pending(0);
  std::int32_t nFrameBytes = 0;
  std::atomic<std::int32_t> recording{1};
  CEncoderThread thread(rec, buffer, pending, nFrameBytes, recording);
  const WaveFormatBlock format = wfx;
  ASSERT_EQ(thread.Begin(MakeFrameHeader(nWidth, nHeight), &format, 30, dir.File("files.avi")), kOk)
      << thread.get_ErrorMessage();
  std::atomic<int> nHandedOver{0};
  std::atomic<bool> bVideoDone{false};
  std::uint64_t nSoundWritten = 0;
  std::thread audio([&] {
    const std::uint32_t nBlock = 480 * wfx.nBlockAlign;
    const std::vector<std::uint8_t> block(nBlock, 0);
    for (;;) {
      const bool bLast = bVideoDone.load();
      const std::uint64_t nDue = static_cast<std::uint64_t>(nHandedOver.load()) * wfx.nAvgBytesPerSec / 30;
      for (; nSoundWritten + nBlock <= nDue; nSoundWritten += nBlock) rec.WriteAudio(block.data(), nBlock);
      if (bLast) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const std::uint32_t nStride = DibRowBytes(nWidth);
  for (int k = 0; k < nFrames; ++k) {
    DrawTestPattern(buffer.get_WriteSlot(), nWidth, nHeight, nStride, static_cast<std::uint32_t>(k));
    thread.WaitUntilEncoded();
    buffer.Publish(pending);
    ++nHandedOver;
  }
  thread.WaitUntilEncoded();
  bVideoDone = true;
  audio.join();
  thread.Stop(true);
  ASSERT_EQ(thread.get_CloseResult(), kOk);

  const std::vector<std::string> files = rec.get_Files();
  ASSERT_GE(files.size(), 3u);
  const std::string strQuiet = " -v error ";
  const std::string strErr = dir.File("decode.err");
  std::int64_t nNext = 0;
  std::uint64_t nSoundRead = 0;
  for (const std::string& strFile : files) {
    SCOPED_TRACE(strFile);
    int nExit = -1;
    // Every decoded picture, whatever rate ffmpeg would resample a short file to.
    const std::string strRaw = RunCommand(std::string("'") + kFfmpeg + "'" + strQuiet + "-i '" + strFile +
                                              "' -map 0:v -fps_mode passthrough -enc_time_base -1 -f rawvideo"
                                              " -pix_fmt bgr24 - 2>'" + strErr + "'",
                                          &nExit);
    ASSERT_EQ(nExit, 0);
    std::ifstream err(strErr);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>()), "");
    const std::size_t nFrameSize = static_cast<std::size_t>(nWidth) * nHeight * 3;
    ASSERT_GT(strRaw.size(), 0u);
    ASSERT_EQ(strRaw.size() % nFrameSize, 0u);
    for (std::size_t i = 0; i < strRaw.size() / nFrameSize; ++i)
      ASSERT_EQ(ReadTestPatternFrame(reinterpret_cast<const std::uint8_t*>(strRaw.data()) + nFrameSize * i, nWidth,
                                     nHeight, static_cast<std::uint32_t>(nWidth) * 3),
                nNext++);
    const auto types = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                                        "-select_streams v -show_entries frame=pict_type -of csv=p=0 '" + strFile + "'"));
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types[0], "I");
    const auto sound = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                                        "-select_streams a -show_entries packet=pts_time,duration_time,size -of csv=p=0 '" +
                                        strFile + "'"));
    double dSoundEnd = 0;
    for (const std::string& strLine : sound) {
      double dPts = 0, dDuration = 0;
      unsigned long long nSize = 0;
      ASSERT_EQ(std::sscanf(strLine.c_str(), "%lf,%lf,%llu", &dPts, &dDuration, &nSize), 3) << strLine;
      nSoundRead += nSize;
      dSoundEnd = dPts + dDuration;
    }
    const auto video = Lines(RunCommand(std::string("'") + kFfprobe + "'" + strQuiet +
                                        "-select_streams v -show_entries stream=duration -of csv=p=0 '" + strFile + "'"));
    ASSERT_EQ(video.size(), 1u);
    EXPECT_NEAR(std::stod(video[0]), dSoundEnd, 1.0 / 30);
  }
  EXPECT_EQ(nNext, nFrames);
  EXPECT_EQ(nSoundRead, nSoundWritten);
}

}  // namespace
}  // namespace vantor::test
