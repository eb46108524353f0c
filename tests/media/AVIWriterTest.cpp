// The writer's file layout, byte by byte: head, legacy index, padding, segment rollover,
// stream lengths and rates, pre-extension and the final length, and misuse.
#include <gtest/gtest.h>

#include <fstream>

#include "AVITestSupport.h"

namespace vantor::test {
namespace {

constexpr std::uint32_t F(const char (&sz)[5]) { return MakeFourCC(sz); }

struct Field {
  std::int64_t nPos;
  int nWidth;  // 2 or 4 bytes
  std::uint32_t nValue;
};

void ExpectFields(const CByteSource& src, const std::vector<Field>& fields) {
  for (const Field& f : fields)
    EXPECT_EQ(f.nWidth == 2 ? src.U16(f.nPos) : src.U32(f.nPos), f.nValue) << "at offset " << f.nPos;
}

// Four frames (one of odd size), each followed by 480 bytes of 8-bit mono sound.
const std::vector<TestChunk> kSmallRecording = Interleave({1000, 2001, 1500, 300}, 1, 480);

TEST(media_AVIHead, LayoutAfterOpenHasPlaceholders) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  const CMemoryFile& f = *fs.m_pFile;
  ExpectFields(f, {
      {0, 4, F("RIFF")}, {4, 4, 0}, {8, 4, F("AVI ")},
      {12, 4, F("LIST")}, {16, 4, 8818}, {20, 4, F("hdrl")},
      {24, 4, F("avih")}, {28, 4, 56}, {32, 4, 40000}, {44, 4, 0x110}, {48, 4, 1}, {56, 4, 2},
      {60, 4, 0}, {64, 4, 320}, {68, 4, 240},
      {88, 4, F("LIST")}, {92, 4, 4244}, {96, 4, F("strl")},
      {100, 4, F("strh")}, {104, 4, 56}, {108, 4, F("vids")}, {140, 4, 1}, {144, 4, 320 * 240 * 3},
      {164, 4, F("strf")}, {168, 4, 40}, {188, 4, F("XVID")},
      {212, 4, F("JUNK")}, {216, 4, 4120},
      {4340, 4, F("LIST")}, {4344, 4, 4222}, {4348, 4, F("strl")},
      {4352, 4, F("strh")}, {4356, 4, 56}, {4360, 4, F("auds")}, {4392, 4, 1}, {4396, 4, 0},
      {4416, 4, F("strf")}, {4420, 4, 18}, {4442, 4, F("JUNK")}, {4446, 4, 4120},
      {8570, 4, F("LIST")}, {8574, 4, 260}, {8578, 4, F("odml")},
      {8582, 4, F("dmlh")}, {8586, 4, 248}, {8590, 4, 0},
      {8838, 4, F("JUNK")}, {8842, 4, 1394},
      {10240, 4, F("LIST")}, {10244, 4, 0x7FFFFFFF}, {10248, 4, F("movi")},
  });
  EXPECT_EQ(avi.get_Position(), 10252);
  EXPECT_EQ(f.get_Size(), 16 << 20) << "pre-extended right after open";
  // The filler names the writer and is otherwise zero.
  const std::vector<std::uint8_t> filler = f.Bytes(8846, 1394);
  const std::string strText(reinterpret_cast<const char*>(filler.data()));
  EXPECT_EQ(strText.rfind("AVI OpenDML Vantor ", 0), 0u) << strText;
  EXPECT_EQ(strText.substr(strText.size() - 8), " release");
  for (std::size_t i = strText.size(); i < filler.size(); ++i) ASSERT_EQ(filler[i], 0) << i;
}

TEST(media_AVIHead, LayoutAfterClose) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  ASSERT_EQ(WriteChunks(avi, kSmallRecording), kSmallRecording.size());
  ASSERT_TRUE(avi.CloseFile());
  const CMemoryFile& f = *fs.m_pFile;
  const WalkedFile walked = WalkAVI(f);
  ExpectFileMatches(f, walked, kSmallRecording, avi);
  ExpectFields(f, {
      {4, 4, static_cast<std::uint32_t>(f.get_Size() - 8)},
      // avih: frames, largest video chunk, size
      {32, 4, 40000}, {36, 4, 0}, {40, 4, 0}, {44, 4, 0x110}, {48, 4, 4}, {52, 4, 0}, {56, 4, 2},
      {60, 4, 2001}, {64, 4, 320}, {68, 4, 240}, {72, 4, 0}, {84, 4, 0},
      // video strh
      {108, 4, F("vids")}, {112, 4, 0}, {116, 4, 0}, {120, 4, 0}, {124, 4, 0}, {128, 4, 1},
      {132, 4, 25}, {136, 4, 0}, {140, 4, 4}, {144, 4, 2001}, {148, 4, 0xFFFFFFFF}, {152, 4, 0},
      {156, 4, 0}, {160, 4, 320 | 240u << 16},
      // video strf as given
      {172, 4, 40}, {176, 4, 320}, {180, 4, 240}, {184, 4, 1 | 24u << 16}, {188, 4, F("XVID")},
      // audio strh: rate, scale, length in blocks, largest chunk
      {4360, 4, F("auds")}, {4364, 4, 1}, {4380, 4, 1}, {4384, 4, 48000}, {4392, 4, 1920},
      {4396, 4, 480}, {4400, 4, 0}, {4404, 4, 1}, {4408, 4, 0}, {4412, 4, 0},
      // audio strf
      {4424, 2, 1}, {4426, 2, 1}, {4428, 4, 48000}, {4432, 4, 48000}, {4436, 2, 1}, {4438, 2, 8},
      {4440, 2, 0},
      // dmlh: total frames
      {8590, 4, 4},
      {10244, 4, static_cast<std::uint32_t>(walked.nIdx1Pos - 10248)},
  });
  EXPECT_EQ(f.Bytes(8594, 244), std::vector<std::uint8_t>(244, 0));
}

TEST(media_AVIHead, HeadTooLargeForTheImageCreatesNoFile) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  PrepareStreams(avi);
  const std::vector<std::uint8_t> huge(70000, 1);
  avi.get_VideoStream()->SetFormat(huge.data(), static_cast<std::uint32_t>(huge.size()));
  EXPECT_FALSE(avi.OpenFile("a.avi", 320, 240));
  EXPECT_EQ(fs.m_Counts.nCreates, 0);
}

// Segment byte count + (size + pad + 16) equal to the limit stays in the segment; one
// byte more opens an AVIX segment, whose 24-byte header precedes the chunk.
struct RolloverCase {
  const char* szName;
  std::int64_t nLimit;
  std::uint32_t nSecondSize;
  bool bRolls;
};

class media_AVIRollover : public testing::TestWithParam<RolloverCase> {};

TEST_P(media_AVIRollover, ExactLimitStaysOneMoreByteRolls) {
  const RolloverCase& c = GetParam();
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs, c.nLimit);
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  // First chunk: 100 + 16 accounted bytes.
  const std::vector<TestChunk> chunks = {{0, 100}, {0, c.nSecondSize}, {1, 10}};
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  ASSERT_TRUE(avi.CloseFile());
  const WalkedFile walked = WalkAVI(*fs.m_pFile);
  ExpectFileMatches(*fs.m_pFile, walked, chunks, avi);
  ASSERT_EQ(walked.dataChunks.size(), 3u);
  const WalkedChunk& second = walked.dataChunks[1];
  EXPECT_EQ(second.nSegment, c.bRolls ? 1 : 0);
  const std::int64_t nAfterFirst = 10252 + 8 + 100;
  if (c.bRolls) {
    EXPECT_EQ(walked.segments[1].nRiffPos, nAfterFirst + 8 + 16);  // after idx1 of one entry
    EXPECT_EQ(second.nPos, walked.segments[1].nRiffPos + 24);
  } else {
    EXPECT_EQ(second.nPos, nAfterFirst);
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, media_AVIRollover,
                         testing::Values(RolloverCase{"ExactlyFull", 4096, 4096 - 116 - 16, false},
                                         RolloverCase{"OneByteOver", 4095, 4096 - 116 - 16, true},
                                         // odd: the pad byte counts and tips it over
                                         RolloverCase{"PadByteOver", 4096, 4096 - 116 - 16 + 1, true}),
                         [](const testing::TestParamInfo<RolloverCase>& info) { return std::string(info.param.szName); });

TEST(media_AVIWriter, OddSizesArePaddedButNotCounted) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  const std::vector<TestChunk> chunks = {{0, 7}, {1, 3}, {0, 0}, {1, 1, true}, {0, 5, true}};
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  ASSERT_TRUE(avi.CloseFile());
  const WalkedFile walked = WalkAVI(*fs.m_pFile);
  ExpectFileMatches(*fs.m_pFile, walked, chunks, avi);
  const std::vector<std::int64_t> expectedPos = {10252, 10268, 10280, 10288, 10298};
  for (std::size_t i = 0; i < chunks.size(); ++i) EXPECT_EQ(walked.dataChunks[i].nPos, expectedPos[i]);
  EXPECT_EQ(avi.get_VideoStream()->get_Header().dwSuggestedBufferSize, 7u);
  EXPECT_EQ(avi.get_AudioStream()->get_Header().dwSuggestedBufferSize, 3u);
}

// Video length, audio length and the video rate fitted to the sound at close.
struct LengthCase {
  const char* szName;
  int nFrames;
  std::uint32_t nAudioBytes;
  std::uint16_t nChannels, nBits;
  std::uint32_t nVideoLength, nRate, nAudioLength, nTotalFrames;
};

class media_AVILengths : public testing::TestWithParam<LengthCase> {};

TEST_P(media_AVILengths, FinishAndRateFit) {
  const LengthCase& c = GetParam();
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  StreamSetup setup;
  setup.nChannels = c.nChannels;
  setup.nBitsPerSample = c.nBits;
  PrepareStreams(avi, setup);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  std::vector<TestChunk> chunks;
  for (int i = 0; i < c.nFrames; ++i) chunks.push_back({0, 500});
  for (std::uint32_t n = 0; n < c.nAudioBytes; n += 4800) chunks.push_back({1, std::min(4800u, c.nAudioBytes - n)});
  ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
  ASSERT_TRUE(avi.CloseFile());
  const CMemoryFile& f = *fs.m_pFile;
  EXPECT_EQ(f.U32(140), c.nVideoLength);
  EXPECT_EQ(f.U32(132), c.nRate);
  EXPECT_EQ(f.U32(4392), c.nAudioLength);
  EXPECT_EQ(f.U32(48), c.nTotalFrames);
  EXPECT_EQ(f.U32(8590), c.nVideoLength);
  EXPECT_EQ(f.U32(32), 40000u) << "microseconds per frame stay as opened";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, media_AVILengths,
    testing::Values(LengthCase{"NoAudio", 10, 0, 1, 8, 10, 25, 1, 10},
                    LengthCase{"NoVideo", 0, 96000, 1, 8, 1, 25, 96000, 0},
                    LengthCase{"UnderOneSecond", 30, 47999, 1, 8, 30, 25, 47999, 30},
                    LengthCase{"ThreeSeconds", 90, 144000, 1, 8, 90, 30, 144000, 90},
                    LengthCase{"StereoBlocks", 90, 576000, 2, 16, 90, 30, 144000, 90}),
    [](const testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.szName); });

TEST(media_AVIWriter, RateAdjusterReplacesTheBuiltInFit) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  PrepareStreams(avi);
  std::uint32_t nSeenFrames = 0;
  std::uint64_t nSeenBytes = 0;
  avi.SetRateAdjuster([&](AVIVideoOutputStream& video, const AVIAudioOutputStream& audio) {
    nSeenFrames = video.get_Header().dwLength;
    nSeenBytes = audio.get_TotalBytes();
    video.get_Header().dwRate = 30000;
    video.get_Header().dwScale = 1001;
  });
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  ASSERT_EQ(WriteChunks(avi, Interleave(std::vector<std::uint32_t>(90, 100), 1, 1600)), 180u);
  ASSERT_TRUE(avi.CloseFile());
  EXPECT_EQ(nSeenFrames, 90u);
  EXPECT_EQ(nSeenBytes, 144000u);
  EXPECT_EQ(fs.m_pFile->U32(128), 1001u);
  EXPECT_EQ(fs.m_pFile->U32(132), 30000u);
}

TEST(media_AVIWriter, AudioFormatWithoutBlockAlignDoesNotDivideByZero) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs);
  PrepareStreams(avi);
  WaveFormatEx wfx{};
  avi.get_AudioStream()->SetFormat(&wfx, sizeof wfx);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  ASSERT_EQ(WriteChunks(avi, {{0, 10}, {1, 480}}), 2u);
  ASSERT_TRUE(avi.CloseFile());
  EXPECT_EQ(fs.m_pFile->U32(4392), 480u);
  EXPECT_EQ(fs.m_pFile->U32(132), 25u);
}

TEST(media_AVIWriter, MisuseIsRefusedWithoutHarm) {
  CMemoryFileSystem fs;
  AVIOutputFile avi(&fs, 1 << 20);
  std::uint8_t data[16] = {};
  EXPECT_FALSE(avi.WriteChunk(F("00dc"), 0, data, 16)) << "before open";
  EXPECT_TRUE(avi.CloseFile()) << "nothing to close";
  EXPECT_FALSE(avi.OpenFile("a.avi", 320, 240)) << "without streams";
  EXPECT_EQ(fs.m_Counts.nCreates, 0);
  PrepareStreams(avi);
  EXPECT_FALSE(avi.OpenFile(nullptr, 320, 240));
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  EXPECT_FALSE(avi.OpenFile("b.avi", 320, 240)) << "already open";
  EXPECT_FALSE(avi.CreateStreams()) << "streams replaced under an open file";
  EXPECT_FALSE(avi.WriteChunk(F("00dc"), 0, nullptr, 16));
  // A chunk larger than a whole segment is refused; the file goes on.
  static std::uint8_t s_aBig[1 << 20];
  EXPECT_FALSE(avi.WriteChunk(F("00dc"), 0, s_aBig, sizeof s_aBig));
  EXPECT_FALSE(avi.get_WriteFailed());
  ASSERT_EQ(WriteChunks(avi, {{0, 100}, {1, 50}}), 2u);
  ASSERT_TRUE(avi.CloseFile());
  EXPECT_FALSE(avi.WriteChunk(F("00dc"), 0, data, 16)) << "after close";
  EXPECT_TRUE(avi.CloseFile()) << "closing twice";
  EXPECT_EQ(fs.m_Counts.nCreates, 1);
  EXPECT_EQ(fs.m_Counts.nCloses, 1);
  const WalkedFile walked = WalkAVI(*fs.m_pFile);
  ExpectFileMatches(*fs.m_pFile, walked, {{0, 100}, {1, 50}}, avi);
}

// The 4 GiB rule applies to FAT volumes only (exFAT is not FAT). With no next file to go
// on in, the recording ends complete below 4 GiB (AVIContinuationTest goes on).
struct VolumeCase {
  const char* szFileSystem;
  std::size_t nChunksWritten;
};

class media_AVIVolume : public testing::TestWithParam<VolumeCase> {};

TEST_P(media_AVIVolume, FourGiBRule) {
  CMemoryFileSystem fs;
  fs.m_Plan.strFileSystem = GetParam().szFileSystem;
  AVIOutputFile avi(&fs);
  avi.SetNextPathProvider([](const std::string&, int) { return std::string(); });
  PrepareStreams(avi);
  ASSERT_TRUE(avi.OpenFile("a.avi", 320, 240));
  std::vector<TestChunk> chunks(5, TestChunk{0, 1u << 30, false, true});
  const std::size_t nWritten = WriteChunks(avi, chunks);
  EXPECT_EQ(nWritten, GetParam().nChunksWritten);
  EXPECT_EQ(avi.get_LimitReached(), nWritten < chunks.size());
  EXPECT_FALSE(avi.get_WriteFailed());
  ASSERT_TRUE(avi.CloseFile());
  chunks.resize(nWritten);
  ExpectFileMatches(*fs.m_pFile, WalkAVI(*fs.m_pFile), chunks, avi);
  EXPECT_LT(fs.m_pFile->get_Size(), nWritten < 5 ? std::int64_t{1} << 32 : std::int64_t{6} << 30);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, media_AVIVolume,
                         testing::Values(VolumeCase{"FAT32", 3}, VolumeCase{"fat", 3},
                                         VolumeCase{"exFAT", 5}, VolumeCase{"NTFS", 5}),
                         [](const testing::TestParamInfo<VolumeCase>& info) {
                           return std::string(info.param.szFileSystem) + "_" + std::to_string(info.index);
                         });

// Real files: pre-extension, exact final length, replacing a file, non-ANSI names.
TEST(media_AVIRealFile, PreExtendedAtOpenAndExactAtClose) {
  CTempDir dir;
  const std::filesystem::path path = dir.get_Path() / u8"Aufnahme-\u00e9\u03a9\u9332\u753b.avi";
  {
    std::ofstream old(path, std::ios::binary);
    old << std::string(20 << 20, 'x');
  }
  for (std::int64_t nLimit : {kAVISegmentLimit, std::int64_t{256} << 10}) {
    AVIOutputFile avi(nullptr, nLimit);
    PrepareStreams(avi);
    ASSERT_TRUE(avi.OpenFile(PathToUtf8(path).c_str(), 320, 240));
    EXPECT_EQ(std::filesystem::file_size(path), 16u << 20);
    std::vector<std::uint32_t> sizes;
    for (std::uint32_t i = 0; i < 60; ++i) sizes.push_back(20000 + i * 311);
    const std::vector<TestChunk> chunks = Interleave(sizes, 2, 480);
    ASSERT_EQ(WriteChunks(avi, chunks), chunks.size());
    ASSERT_TRUE(avi.CloseFile());
    EXPECT_FALSE(avi.get_HasFile());
    const CVectorSource src(ReadWholeFile(path));
    EXPECT_EQ(static_cast<std::uint64_t>(src.get_Size()), std::filesystem::file_size(path));
    const WalkedFile walked = WalkAVI(src);
    ExpectFileMatches(src, walked, chunks, avi);
    EXPECT_EQ(walked.segments.size() > 1, nLimit != kAVISegmentLimit);
  }
}

}  // namespace
}  // namespace vantor::test
