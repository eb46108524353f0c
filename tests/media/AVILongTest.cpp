// A real file past 4 GiB with the real segment limit, counted by ffprobe.
#include <gtest/gtest.h>

#include "AVITestSupport.h"
#include "FfprobeSupport.h"

namespace vantor::test {
namespace {

std::uint32_t FrameSize(std::uint32_t nFrame) { return 20000u + (nFrame * 7919u) % (180u << 10); }

TEST(media_AVILong, FilePastFourGiBReadByFfprobe) {
#ifndef VANTOR_FFPROBE
  GTEST_SKIP() << "ffprobe not found at configure time";
#else
  CTempDir dir;  // removes the file at the end, also when an assertion fails
  const std::string strFile = dir.File("long.avi");
  std::uint32_t nFrames = 0, nAudio = 0, nRate = 0;
  {
    AVIOutputFile avi;
    PrepareStreams(avi);
    ASSERT_TRUE(avi.OpenFile(strFile.c_str(), 320, 240));
    std::vector<std::uint8_t> frame(200 << 10), sound(480);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 13);
    while (avi.get_Position() < (std::int64_t{4} << 30) + (600 << 20)) {
      const std::uint32_t nSize = FrameSize(nFrames);
      ASSERT_TRUE(avi.get_VideoStream()->Write(0, frame.data(), nSize, 1));
      ASSERT_TRUE(avi.get_AudioStream()->Write(0, sound.data(), 480, 0));
      ++nFrames;
      ++nAudio;
    }
    ASSERT_TRUE(avi.CloseFile());
    EXPECT_EQ(avi.get_CompletedSegments(), 3);
    nRate = avi.get_VideoStream()->get_Header().dwRate;
  }
  EXPECT_GT(std::filesystem::file_size(dir.get_Path() / "long.avi"), std::uintmax_t{4} << 30);
  const ProbeResult r = RunFfprobe(
      VANTOR_FFPROBE, "-v warning -nofind_stream_info -count_packets -show_entries stream=index,codec_type,nb_read_packets -of csv=p=0",
      strFile, dir.File("probe.err"));
  ASSERT_EQ(r.nExit, 0) << r.strErrors;
  EXPECT_EQ(r.strErrors.find("[avi"), std::string::npos) << r.strErrors;
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0], "0,video," + std::to_string(nFrames));
  EXPECT_EQ(r.lines[1], "1,audio," + std::to_string(nAudio));

  // Seeks land on the right frames in every segment, past 4 GiB too, through the
  // standard indexes' 64-bit bases.
  const ProbeResult seeks = RunFfprobe(
      VANTOR_FFPROBE, "-v warning -nofind_stream_info -select_streams v -read_intervals " +
                          SeekIntervals(static_cast<double>(nFrames) / nRate, 19) +
                          " -show_entries packet=stream_index,pts,size,pos -of csv=p=0",
      strFile, dir.File("seeks.err"));
  ASSERT_EQ(seeks.nExit, 0) << seeks.strErrors;
  std::size_t nPastFourGiB = 0, nPackets = 0;
  for (const std::string& strLine : seeks.lines) {
    int nStream;
    long long nPts, nPos;
    unsigned nSize;
    ASSERT_EQ(std::sscanf(strLine.c_str(), "%d,%lld,%u,%lld", &nStream, &nPts, &nSize, &nPos), 4) << strLine;
    ASSERT_GE(nPts, 0);
    EXPECT_EQ(nSize, FrameSize(static_cast<std::uint32_t>(nPts))) << "frame " << nPts;
    nPastFourGiB += nPos > (std::int64_t{4} << 30);
    ++nPackets;
  }
  EXPECT_EQ(nPackets, 19u * 4u);
  EXPECT_GT(nPastFourGiB, 0u);
#endif
}

}  // namespace
}  // namespace vantor::test
