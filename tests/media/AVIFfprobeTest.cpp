// Files of every shape the writer makes, read back by ffprobe: both streams listed,
// every packet of every segment read, with the sizes written.
#include <gtest/gtest.h>


#include "AVITestSupport.h"
#include "FfprobeSupport.h"

namespace vantor::test {
namespace {

#ifdef VANTOR_FFPROBE
constexpr const char* kFfprobe = VANTOR_FFPROBE;
#else
constexpr const char* kFfprobe = nullptr;
#endif

struct ProbeCase {
  const char* szName;
  std::int64_t nSegmentLimit;
  int nFrames;
  int nAudioPerFrame;
  std::uint16_t nChannels, nBits;
  std::size_t nMinSegments;
};

class media_AVIFfprobe : public testing::TestWithParam<ProbeCase> {};

TEST_P(media_AVIFfprobe, AcceptsEveryPacket) {
  if (!kFfprobe) GTEST_SKIP() << "ffprobe not found at configure time";
  const ProbeCase& c = GetParam();
  CTempDir dir;
  const std::string strFile = dir.File("probe.avi");
  std::vector<std::uint32_t> sizes;
  for (int i = 0; i < c.nFrames; ++i) sizes.push_back(2000u + static_cast<std::uint32_t>(i * 7919 % 30001));
  const std::vector<TestChunk> chunks = Interleave(sizes, c.nAudioPerFrame, 480);
  std::uint32_t nRate = 0;
  {
    AVIOutputFile avi(nullptr, c.nSegmentLimit);
    StreamSetup setup;
    setup.nChannels = c.nChannels;
    setup.nBitsPerSample = c.nBits;
    PrepareStreams(avi, setup);
    ASSERT_TRUE(avi.OpenFile(strFile.c_str(), 320, 240));
    ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
    ASSERT_TRUE(avi.CloseFile());
    ASSERT_GE(static_cast<std::size_t>(avi.get_CompletedSegments()), c.nMinSegments);
    nRate = avi.get_VideoStream()->get_Header().dwRate;
  }

  const ProbeResult streams = RunFfprobe(
      kFfprobe, "-v warning -nofind_stream_info -show_entries stream=index,codec_type,codec_tag_string -of csv=p=0",
      strFile, dir.File("streams.err"));
  ASSERT_EQ(streams.nExit, 0) << streams.strErrors;
  EXPECT_EQ(streams.strErrors, "");
  ASSERT_EQ(streams.lines.size(), 2u);
  EXPECT_EQ(streams.lines[0], "0,video,XVID");
  EXPECT_EQ(streams.lines[1].substr(0, 8), "1,audio,");

  // Packets in demuxing order; the avi demuxer must not complain about anything. (The
  // stream probe is off: our test frames are not real MPEG-4, and decoding is not
  // what is tested here.)
  const ProbeResult packets = RunFfprobe(
      kFfprobe, "-v warning -nofind_stream_info -show_entries packet=stream_index,size -of csv=p=0", strFile,
      dir.File("packets.err"));
  ASSERT_EQ(packets.nExit, 0) << packets.strErrors;
  EXPECT_EQ(packets.strErrors.find("[avi"), std::string::npos) << packets.strErrors;
  std::vector<std::string> expected[2], seen[2];
  for (const TestChunk& ch : chunks) expected[ch.nStream].push_back(std::to_string(ch.nSize));
  for (const std::string& strLine : packets.lines) {
    const std::size_t nComma = strLine.find(',');
    ASSERT_NE(nComma, std::string::npos) << strLine;
    const int nStream = std::stoi(strLine.substr(0, nComma));
    ASSERT_TRUE(nStream == 0 || nStream == 1) << strLine;
    seen[nStream].push_back(strLine.substr(nComma + 1));
  }
  EXPECT_EQ(seen[0], expected[0]);
  EXPECT_EQ(seen[1], expected[1]);

  // Seeks all over the file land where the indexes promise: at the frame of the seek
  // time, with the size written for that frame number, and at the sound of that time.
  const double dSeconds = static_cast<double>(c.nFrames) / nRate;
  const std::uint32_t nBlockAlign = c.nChannels * c.nBits / 8u;
  for (int nStream = 0; nStream < (c.nAudioPerFrame ? 2 : 1); ++nStream) {
    SCOPED_TRACE(nStream ? "seeking in the sound" : "seeking in the video");
    const ProbeResult seeks = RunFfprobe(
        kFfprobe, std::string("-v warning -nofind_stream_info -select_streams ") + (nStream ? "a" : "v") +
                      " -read_intervals " + SeekIntervals(dSeconds, 9) +
                      " -show_entries packet=stream_index,pts,size -of csv=p=0",
        strFile, dir.File("seeks.err"));
    ASSERT_EQ(seeks.nExit, 0) << seeks.strErrors;
    EXPECT_EQ(seeks.strErrors.find("[avi"), std::string::npos) << seeks.strErrors;
    const std::vector<ProbePacket> packets = ParsePackets(seeks.lines);
    ASSERT_EQ(packets.size(), 9u * 4u);
    for (std::size_t i = 0; i < packets.size(); ++i) {
      const ProbePacket& p = packets[i];
      ASSERT_EQ(p.nStream, nStream);
      const double dTarget = dSeconds * static_cast<double>(i / 4 + 1) / 10;
      if (nStream == 0) {
        ASSERT_GE(p.nPts, 0);
        ASSERT_LT(p.nPts, c.nFrames);
        EXPECT_EQ(p.nSize, sizes[static_cast<std::size_t>(p.nPts)]) << "frame " << p.nPts;
        if (i % 4 == 0) {
          EXPECT_NEAR(static_cast<double>(p.nPts), dTarget * nRate, 1.0);
        }
      } else {
        EXPECT_EQ(p.nSize, 480u);
        EXPECT_EQ(p.nPts * nBlockAlign % 480, 0) << "not the start of a chunk";
        if (i % 4 == 0) {
          EXPECT_NEAR(static_cast<double>(p.nPts) * nBlockAlign, dTarget * 48000 * nBlockAlign, 480.0);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, media_AVIFfprobe,
    testing::Values(ProbeCase{"OneSegment", kAVISegmentLimit, 300, 2, 1, 8, 1},
                    ProbeCase{"ManySegments", 1 << 20, 600, 2, 1, 8, 6},
                    ProbeCase{"ManySegmentsStereo16", 1 << 20, 600, 3, 2, 16, 6},
                    ProbeCase{"RolledOverWithoutAudio", 1 << 20, 200, 0, 1, 8, 2}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.szName); });

// A recording driven well past every limit: ffprobe reads each of its files without a
// complaint, and together they give back every packet written, in order.
class media_AVIFfprobeContinued : public testing::TestWithParam<ContinuationCase> {};

TEST_P(media_AVIFfprobeContinued, EveryPacketAcrossAllFiles) {
  if (!kFfprobe) GTEST_SKIP() << "ffprobe not found at configure time";
  const ContinuationCase& c = GetParam();
  CTempDir dir;
  std::vector<std::string> paths;
  {
    AVIOutputFile avi(nullptr, c.limits);
    PrepareStreams(avi);
    ASSERT_TRUE(avi.OpenFile(dir.File("rec.avi").c_str(), 320, 240));
    ASSERT_EQ(WriteChunks(avi, c.chunks), c.chunks.size());
    ASSERT_TRUE(avi.CloseFile());
    paths = avi.get_Paths();
  }
  ASSERT_GT(paths.size(), 4u);
  std::vector<CVectorSource> sources;
  std::vector<std::string> seen[2];
  for (const std::string& strPath : paths) {
    SCOPED_TRACE(strPath);
    sources.emplace_back(ReadWholeFile(std::filesystem::path(std::u8string(strPath.begin(), strPath.end()))));
    const ProbeResult packets = RunFfprobe(
        kFfprobe, "-v warning -nofind_stream_info -show_entries packet=stream_index,size -of csv=p=0", strPath,
        dir.File("packets.err"));
    ASSERT_EQ(packets.nExit, 0) << packets.strErrors;
    EXPECT_EQ(packets.strErrors.find("[avi"), std::string::npos) << packets.strErrors;
    for (const std::string& strLine : packets.lines) {
      const std::size_t nComma = strLine.find(',');
      ASSERT_NE(nComma, std::string::npos) << strLine;
      seen[std::stoi(strLine.substr(0, nComma)) != 0].push_back(strLine.substr(nComma + 1));
    }
  }
  std::vector<std::string> expected[2];
  std::uint64_t nAudioBytes = 0, nSeenAudioBytes = 0;
  for (const TestChunk& ch : c.chunks) {
    expected[ch.nStream].push_back(std::to_string(ch.nSize));
    if (ch.nStream) nAudioBytes += ch.nSize;
  }
  for (const std::string& str : seen[1]) nSeenAudioBytes += std::stoull(str);
  EXPECT_EQ(seen[0], expected[0]);
  EXPECT_EQ(seen[1], expected[1]);
  EXPECT_EQ(seen[0].size(), expected[0].size()) << "video frames";
  EXPECT_EQ(nSeenAudioBytes, nAudioBytes) << "sound bytes";
  std::vector<const CByteSource*> files;
  for (const CVectorSource& src : sources) files.push_back(&src);
  ExpectRecordingMatches(files, c.chunks);
}

INSTANTIATE_TEST_SUITE_P(Limits, media_AVIFfprobeContinued, testing::ValuesIn(ContinuationCases()),
                         [](const testing::TestParamInfo<ContinuationCase>& info) {
                           return std::string(info.param.szName);
                         });

}  // namespace
}  // namespace vantor::test
