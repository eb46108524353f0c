// The whole pipeline with the real Xvid, checked by ffmpeg and ffprobe: the test
// pattern goes through the frame buffer, the encoder thread, the recorder and the
// writer while a second thread writes sound into the same file. Native only (the
// readers are native programs); it also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
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
  ASSERT_EQ(thread.BeginUtf8(header, &c.wfx, dFps, strFile), kOk) << thread.get_ErrorMessage();

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
  ASSERT_EQ(thread.BeginUtf8(MakeFrameHeader(nWidth, nHeight), &wfx, 30, dir.File("files.avi")), kOk)
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
