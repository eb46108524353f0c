// A recording with the real limits that no single file could hold: 7 h 21 min at
// 30 fps with the capture device's sound in 10 ms blocks. Its first file passes its
// first RIFF segment, each stream has more chunks than one super index holds, and
// ffprobe reads every file whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "RecorderTestSupport.h"
#include "media/AviRecorder.h"

namespace vantor::test {
namespace {

int FrameSize(int n) { return 2000 + n * 7919 % 600; }

std::vector<std::string> Probe(const std::string& strArgs, const std::string& strFile, int* pExit) {
  std::vector<std::string> lines;
#ifdef VANTOR_FFPROBE
  FILE* p = ::popen(("'" VANTOR_FFPROBE "' " + strArgs + " '" + strFile + "' 2>&1").c_str(), "r");
  if (!p) return lines;
  std::string strOut;
  char szBuf[1 << 16];
  for (std::size_t n; (n = std::fread(szBuf, 1, sizeof szBuf, p)) > 0;) strOut.append(szBuf, n);
  *pExit = ::pclose(p);
  std::istringstream in(strOut);
  for (std::string strLine; std::getline(in, strLine);)
    if (!strLine.empty()) lines.push_back(strLine);
#endif
  return lines;
}

TEST(recorder_Long, RecordingPastOneSuperIndexGoesOnAndFfprobeReadsItWhole) {
#ifndef VANTOR_FFPROBE
  GTEST_SKIP() << "ffprobe not found at configure time";
#endif
  CTempDir dir;
  CFakeXvid fake;
  fake.fnResult = FrameSize;
  fake.nKeyInterval = 300;  // as Xvid's default: seeks land within ten seconds
  CAviRecorder rec;
  rec.SetBinding(fake.MakeBinding());
  const WaveFormatEx capture = {1, 1, 48000, 48000, 1, 8, 0};
  const BitmapInfoHeader header = MakeFrameHeader(16, 16);
  rec.Reset();
  rec.SetAudioFormat(&capture);
  rec.SetVideoFormat(&header);
  ASSERT_EQ(rec.CreateEncoder(16, 16, 30), kOk);
  ASSERT_EQ(rec.Open(dir.File("long.avi")), kOk);
  const int nFrames = 30 * (7 * 3600 + 21 * 60);
  static_assert(30 * (7 * 3600 + 21 * 60) > 256 * 3072);
  const std::vector<std::uint8_t> bits(header.biSizeImage, 1), block(480, 0x80);
  std::uint64_t nSound = 0;
  for (int f = 0; f < nFrames; ++f) {
    for (const std::uint64_t nDue = (f + 1ull) * 48000 / 30; nSound + 480 <= nDue; nSound += 480)
      rec.WriteAudio(block.data(), 480);
    rec.EncodeFrame(bits.data(), static_cast<std::int32_t>(bits.size()), 1);
  }
  ASSERT_EQ(rec.Close(), kOk);
  ASSERT_EQ(rec.get_FramesWritten(), static_cast<std::uint32_t>(nFrames));

  const std::vector<std::string> files = rec.get_Files();
  ASSERT_EQ(files.size(), 2u);
  {
    // Past the first segment: an AVIX segment follows the first RIFF.
    std::ifstream in(PathOf(files[0]), std::ios::binary);
    std::uint32_t nRiffSize = 0;
    char szType[4] = {};
    in.seekg(4);
    in.read(reinterpret_cast<char*>(&nRiffSize), 4);
    in.seekg(std::streamoff{nRiffSize} + 8 + 8);
    in.read(szType, 4);
    EXPECT_EQ(std::string(szType, 4), "AVIX");
  }
  std::uint64_t nVideo = 0, nSoundRead = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    int nExit = -1;
    const std::vector<std::string> lines = Probe(
        "-v warning -nofind_stream_info -show_entries packet=stream_index,size,flags -of csv=p=0", files[i], &nExit);
    ASSERT_EQ(nExit, 0);
    std::uint64_t nVideoHere = 0;
    for (const std::string& strLine : lines) {
      int nStream = -1;
      unsigned nSize = 0;
      char szFlags[8] = {};
      ASSERT_EQ(std::sscanf(strLine.c_str(), "%d,%u,%7s", &nStream, &nSize, szFlags), 3) << strLine;
      if (nStream == 0) {
        if (nVideoHere == 0) {
          EXPECT_EQ(szFlags[0], 'K') << "a file starts with a key frame";
        }
        EXPECT_EQ(nSize, static_cast<unsigned>(FrameSize(static_cast<int>(nVideo + nVideoHere)))) << nVideo + nVideoHere;
        ++nVideoHere;
      } else {
        nSoundRead += nSize;
      }
    }
    if (i == 0) {
      EXPECT_GT(nVideoHere, 786000u);
    }
    nVideo += nVideoHere;
  }
  EXPECT_EQ(nVideo, static_cast<std::uint64_t>(nFrames));
  EXPECT_EQ(nSoundRead, nSound);

  // Seeks near the end of the first file go through its OpenDML indexes.
  int nExit = -1;
  const std::vector<std::string> seeks = Probe(
      "-v warning -nofind_stream_info -select_streams v -read_intervals 25000%+#2,26000%+#2"
      " -show_entries packet=pts,size -of csv=p=0",
      files[0], &nExit);
  ASSERT_EQ(nExit, 0);
  ASSERT_EQ(seeks.size(), 4u);
  for (std::size_t i = 0; i < seeks.size(); ++i) {
    long long nPts = -1;
    unsigned nSize = 0;
    ASSERT_EQ(std::sscanf(seeks[i].c_str(), "%lld,%u", &nPts, &nSize), 2) << seeks[i];
    // On the key frame before the time (one every 300 frames), or the frame after it.
    EXPECT_NEAR(static_cast<double>(nPts), (i < 2 ? 25000.0 : 26000.0) * 30 - 150, 152.0);
    EXPECT_EQ(nSize, static_cast<unsigned>(FrameSize(static_cast<int>(nPts))));
  }
}

}  // namespace
}  // namespace vantor::test
